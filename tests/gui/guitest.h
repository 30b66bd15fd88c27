// Helpers shared by the window tests.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QString>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <optional>
#include <string>

#include "text/codec.h"

namespace guitest {

// The CP932 bytes of a UTF-8 text (which must be representable).
inline std::string Sjis(const QString& Utf8) {
  std::optional<std::string> s = Utf8ToCp932(Utf8.toStdString());
  if (!s) qFatal("not representable in CP932");
  return *s;
}

inline std::string Native(const QString& Path) {
  return QFile::encodeName(Path).toStdString();
}

inline void WriteBytes(const QString& Path, const QByteArray& Bytes) {
  QFile f(Path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write a test file");
  f.write(Bytes);
}

// Closes Dialog whenever it is shown modally, after running OnShown (if
// given); counts how often it did so. Lives as long as the object.
class TModalCloser {
 public:
  explicit TModalCloser(QDialog* Dialog, std::function<void()> OnShown = {})
      : Dialog(Dialog), OnShown(std::move(OnShown)) {
    Timer.setInterval(10);
    QObject::connect(&Timer, &QTimer::timeout, [this] {
      if (!this->Dialog->isVisible() || Busy) return;
      Busy = true;
      ++Closed;
      ModalWhenShown = this->Dialog->isModal();
      if (this->OnShown) this->OnShown();
      this->Dialog->reject();
      Busy = false;
    });
    Timer.start();
  }
  int Closed = 0;
  bool ModalWhenShown = false;

 private:
  QDialog* Dialog;
  std::function<void()> OnShown;
  QTimer Timer;
  bool Busy = false;
};

}  // namespace guitest
