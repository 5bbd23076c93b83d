#include "tavrine/model/CheckID.h"

#include <QUuid>

namespace tavrine {

QString makeCheckID() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
}

} // namespace tavrine
