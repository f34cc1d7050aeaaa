#pragma once
// The selected help page, shared so any window can open the help on a page.
#include <QObject>
#include <QString>

namespace kx {

class HelpNav : public QObject {
    Q_OBJECT
public:
    static HelpNav& shared();

    QString topic() const { return topic_; }
    // Any id is kept as given; an id that names no page simply highlights no row.
    void setTopic(const QString& id);

Q_SIGNALS:
    void topicChanged(const QString& id);

private:
    QString topic_ = QStringLiteral("start");
};

}  // namespace kx
