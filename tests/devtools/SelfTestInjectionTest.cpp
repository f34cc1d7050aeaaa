// The self-test reports a failing check: its line, the count and the exit code.
#include "devtools/SelfTest.h"

#include <gtest/gtest.h>

namespace kx {
QString selfTestInjectedHex(const QString&)
{
    return QStringLiteral("#ffg");  // not a colour: the short-hex check must fail
}
}  // namespace kx

TEST(SelfTestInjection, OneBrokenCheckIsReportedAndFailsTheRun)
{
    testing::internal::CaptureStdout();
    const int code = kx::SelfTest::run();
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(out.contains(QStringLiteral("\n  \u2717 short hex parse\n"))) << out.toStdString();
    EXPECT_TRUE(out.endsWith(QStringLiteral("\n1 FAILED\n"))) << out.toStdString();
    EXPECT_EQ(out.count(QStringLiteral("  \u2713 ")), 26);
}

TEST(SelfTestPage, SizesWithoutBlocksStayWhite)
{
    // Too short for a line, or too narrow for a block: nothing but white.
    for (const QSize size : {QSize(300, 20), QSize(50, 400)}) {
        const QImage page = kx::SelfTest::makePage(size.width(), size.height());
        QImage white(size, page.format());
        white.fill(Qt::white);
        EXPECT_EQ(kx::SelfTest::differs(page, white), 0) << size.width() << "x" << size.height();
    }
    const QImage wide = kx::SelfTest::makePage(600, 400);
    QImage blank(wide.size(), wide.format());
    blank.fill(Qt::white);
    EXPECT_GT(kx::SelfTest::differs(wide, blank), 0);
    EXPECT_EQ(kx::SelfTest::differs(wide, kx::SelfTest::makePage(600, 400)), 0);
    EXPECT_EQ(kx::SelfTest::differs(wide, wide.copy(0, 0, 600, 399)), std::numeric_limits<qint64>::max());
}
