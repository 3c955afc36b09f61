#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

namespace Kavvix {

// A text of size characters, its contents still to be written: in storage's memory when no one
// else holds storage and it is large enough, else new. A parser that stores a record a million
// times a second hands in the text it held before, and allocates nothing.
inline QString resizedText(QString storage, qsizetype size) {
    if (storage.isDetached() && storage.capacity() >= size) {
        storage.resize(size);
        return storage;
    }
    return QString(size, Qt::Uninitialized);
}

// text.toString(), in storage's memory when resizedText can have it.
inline QString reusedText(QString storage, QStringView text) {
    if (text.isEmpty())
        return text.toString(); // null or empty as the view is
    QString copy = resizedText(std::move(storage), text.size());
    std::copy(text.begin(), text.end(), copy.data());
    return copy;
}

} // namespace Kavvix
