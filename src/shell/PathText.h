#pragma once

// Paths cross between Qt (QString) and the core (bytes, as the file system has them).

#include <QFile>
#include <QString>

#include <string>

namespace shell {

inline std::string toPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace shell
