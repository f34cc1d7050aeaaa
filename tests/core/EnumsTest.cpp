#include "core/CaptureResult.h"
#include "core/Enums.h"
#include "core/SourceKind.h"

#include <gtest/gtest.h>

using namespace kx;

TEST(RawValues, ExactMatchOnlyAndDeclarationOrder)
{
    EXPECT_EQ(sourceKindFromRaw("area"), SourceKind::area);
    EXPECT_EQ(sourceKindFromRaw("color"), SourceKind::color);
    EXPECT_FALSE(sourceKindFromRaw("Area"));
    EXPECT_FALSE(sourceKindFromRaw("area "));
    EXPECT_FALSE(sourceKindFromRaw(""));
    EXPECT_EQ(rawValue(SourceKind::fullscreen), "fullscreen");

    EXPECT_EQ(fromRaw<ColorFormat>("swiftUI"), ColorFormat::swiftUI);
    EXPECT_FALSE(fromRaw<ColorFormat>("swiftui"));
    EXPECT_EQ(fromRaw<CopyMode>("copyAndClose"), CopyMode::copyAndClose);
    EXPECT_EQ(fromRaw<ImageFormat>("heic"), ImageFormat::heic);
    EXPECT_FALSE(fromRaw<ImageFormat>("JPG"));
    EXPECT_EQ(allCases<ImageFormat>(),
              (QList<ImageFormat>{ImageFormat::png, ImageFormat::jpg, ImageFormat::heic}));
    EXPECT_EQ(allCases<RemoteProtocol>().size(), 3);
    EXPECT_EQ(rawValue(AIProvider::openai), "openai");
}

TEST(UploadCopyText, LinkMarkdownAndHtmlEscaping)
{
    const QString url = "https://x.test/a&b<c>\"d\".png";
    EXPECT_EQ(uploadCopyText(UploadCopyFormat::link, url, "alt"), url);

    EXPECT_EQ(uploadCopyText(UploadCopyFormat::markdown, "https://x.test/s.png", "a[b]c"),
              "![a\\[b\\]c](https://x.test/s.png)");
    EXPECT_EQ(uploadCopyText(UploadCopyFormat::markdown, "u", ""), "![](u)");
    // A backslash in the alt text cannot swallow the escape of a following bracket.
    EXPECT_EQ(uploadCopyText(UploadCopyFormat::markdown, "u", "a\\]"), "![a\\\\\\]](u)");
    // Parentheses and blanks in a file name cannot end the link early.
    EXPECT_EQ(uploadCopyText(UploadCopyFormat::markdown, "https://x.test/Shot (1) a.png", "s"),
              "![s](https://x.test/Shot%20%281%29%20a.png)");

    EXPECT_EQ(
        uploadCopyText(UploadCopyFormat::html, "https://x.test/?a=1&b=\"2\"", "<me> & 'you' &amp;"),
        "<img src=\"https://x.test/?a=1&amp;b=&quot;2&quot;\" alt=\"&lt;me&gt; &amp; 'you' &amp;amp;\">");
    EXPECT_EQ(uploadCopyText(UploadCopyFormat::html, "u", ""), "<img src=\"u\" alt=\"\">");
}
