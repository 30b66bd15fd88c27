// Program start: the application titled "Quillon", the main window, then the
// results window, and the message loop.
//
// quillon [FILE...]: the files are put in the list by the rules for dropped
// files. A hidden switch --screenshot DIR runs one search over the files and
// saves both windows as DIR/main.png and DIR/results.png; with --filter TEXT
// the results table is first narrowed to TEXT, with --find TEXT the results
// window steps to the first row that matches TEXT. When files could not be
// read, their list is saved as DIR/problems.png.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <optional>
#include <string>

#include "qt/mainwindow.h"
#include "qt/previewpane.h"
#include "qt/resultswindow.h"

namespace {

// Searches once, saves the results window while it is shown and the main
// window after it has closed, then ends the program.
void TakeScreenshots(TForm1& Form1, const QString& Dir, const QString& Filter,
                     const QString& Find) {
  QDir().mkpath(Dir);
  auto* closer = new QTimer(&Form1);
  QObject::connect(closer, &QTimer::timeout, &Form1, [&Form1, closer, Dir, Filter, Find] {
    TForm2* form2 = Form1.Form2;
    if (!form2->isVisible()) return;
    closer->stop();
    if (!Filter.isEmpty()) form2->SetFilter(Filter);
    if (!Find.isEmpty()) {
      form2->Edit1->setText(Find);
      form2->Button1Click();
    }
    // Wide enough for the table and the preview; saved once the preview of
    // the current row has been drawn (or after 3 s).
    form2->resize(std::max(form2->width(), 720), std::max(form2->height(), 340));
    form2->SetPreviewWidth(260);
    auto* waiter = new QTimer(form2);
    QObject::connect(waiter, &QTimer::timeout, form2, [form2, waiter, Dir, tries = 0]() mutable {
      if (!form2->Preview->List() && ++tries < 60) return;
      waiter->deleteLater();
      waiter->stop();
      form2->grab().save(Dir + QStringLiteral("/results.png"));
      // Then the thumbnails, once every row shown has its drawing (or 3 s).
      form2->Results.ToggleThumbnails();
      auto* thumbs = new QTimer(form2);
      QObject::connect(thumbs, &QTimer::timeout, form2, [form2, thumbs, Dir, tries = 0]() mutable {
        bool drawn = true;
        for (int p = 0; p < form2->Results.ShownCount(); ++p)
          drawn = drawn && form2->Results.ThumbnailAt(p);
        if (!drawn && ++tries < 60) return;
        thumbs->deleteLater();
        thumbs->stop();
        form2->grab().save(Dir + QStringLiteral("/thumbnails.png"));
        form2->Results.ToggleThumbnails();
        // The list of problem files is modal: saved and closed from a timer.
        QTimer::singleShot(200, form2, [form2, Dir] {
          if (auto* list = form2->findChild<QDialog*>(QStringLiteral("ProblemList"))) {
            list->grab().save(Dir + QStringLiteral("/problems.png"));
            list->reject();
          }
        });
        form2->ShowProblems();
        form2->Button2Click();
      });
      thumbs->start(50);
    });
    waiter->start(50);
  });
  closer->start(100);
  Form1.Button3Click();
  closer->stop();
  if (Form1.ListCount() == 0) {
    std::fprintf(stderr, "quillon: --screenshot: no file to search\n");
  }
  Form1.grab().save(Dir + QStringLiteral("/main.png"));
  Form1.close();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setDesktopFileName(QStringLiteral("quillon"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillon")));
  // Qt's own dialogs and menus in the desktop's language.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }

  TForm1 Form1;
  auto* Form2 = new TForm2(&Form1);
  Form1.Form2 = Form2;

  QString screenshotDir, filter, find;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc) {
      screenshotDir = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--filter" && i + 1 < argc) {
      filter = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--find" && i + 1 < argc) {
      find = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.empty()) {
      Form1.InitialFiles.push_back(arg);
    }
  }

  // Screenshots use the design layout and leave the user's layout file alone.
  std::optional<QTemporaryDir> scratch;
  if (!screenshotDir.isEmpty()) {
    scratch.emplace();
    Form1.Model.LayoutFile =
        QFile::encodeName(scratch->filePath(QStringLiteral("quillon.dat"))).toStdString();
  }

  Form1.show();
  if (!screenshotDir.isEmpty()) {
    QTimer::singleShot(0, &Form1, [&Form1, screenshotDir, filter, find] {
      TakeScreenshots(Form1, screenshotDir, filter, find);
    });
  }
  return app.exec();
}
