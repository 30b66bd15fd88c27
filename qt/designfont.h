// What both windows share in how they look: the design font, and paths shown
// as the file system names them.
#pragma once

#include <QFile>
#include <QFont>
#include <QString>
#include <string>

// The font the windows are laid out for, with a Japanese fallback.
inline QFont DesignFont() {
  QFont f;
  f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans CJK JP")});
  f.setPixelSize(13);
  return f;
}

// A native path (UTF-8 bytes) for display.
inline QString ShownPath(const std::string& Path) {
  return QFile::decodeName(QByteArray::fromStdString(Path));
}
