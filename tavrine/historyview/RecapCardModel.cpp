#include "tavrine/historyview/RecapCardModel.h"

#include "tavrine/historyview/RecapText.h"
#include "tavrine/ui/AppStyle.h"

#include <QVariantMap>

namespace tavrine {

RecapCardModel::RecapCardModel(QObject* parent) : QObject(parent) {}

void RecapCardModel::setSummary(const SessionSummary& summary) {
    if (summary == m_summary)
        return;
    m_summary = summary;
    emit summaryChanged();
}

QString RecapCardModel::headerDate() const {
    return recapHeaderDate(m_summary.startedAt);
}

QString RecapCardModel::minutesText() const {
    return recapMinutesText(m_summary.focusedSeconds);
}

QString RecapCardModel::statusText() const {
    return recapStatusText(m_summary.completed);
}

QVariantList RecapCardModel::rows() const {
    QVariantList list;
    for (const RecapRow& row : recapRows(m_summary))
        list.append(QVariantMap{{QStringLiteral("label"), row.label}, {QStringLiteral("value"), row.value}});
    return list;
}

QVariantList RecapCardModel::furtherDetours() const {
    QVariantList list;
    for (const RecapDetourRow& row : recapFurtherDetours(m_summary))
        list.append(QVariantMap{{QStringLiteral("key"), row.key},
                                {QStringLiteral("phrase"), row.phrase},
                                {QStringLiteral("duration"), row.duration}});
    return list;
}

QString RecapCardModel::calloutText() const {
    return recapCalloutStyledText(recapCalloutParts(m_summary.topDetours), ui::AppStyle::accentColor());
}

} // namespace tavrine
