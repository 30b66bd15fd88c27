// LoadLayout/SaveLayout applied to the two Qt windows (the file's format is
// tested in the unit tests).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/layout.h"
#include "qt/mainwindow.h"
#include "qt/resultswindow.h"
#include "tests/gui/guitest.h"

using guitest::Native;

namespace {

QRect DesignMain() {
  const TRect m = TWindowLayout().Main;
  return {m.Left, m.Top, m.Width, m.Height};
}

// Both windows as the program creates them, with the layout file given.
struct TForms {
  explicit TForms(const std::string& LayoutFile) {
    Form1 = std::make_unique<TForm1>();
    Form1->Form2 = new TForm2(Form1.get());
    Form1->Model.LayoutFile = LayoutFile;
    // One screen that shows every place these tests use.
    Form1->Screens = [] { return std::vector<TRect>{{-40000, -40000, 80000, 80000}}; };
  }
  TForm2& Form2() { return *Form1->Form2; }
  // Shows the main window (which loads the layout) and lets it settle.
  void Show() {
    Form1->show();
    QApplication::processEvents();
  }
  std::unique_ptr<TForm1> Form1;
};

}  // namespace

class TLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  // The file is the user's, in the configuration folder, wherever the
  // program is installed.
  void defaultLocationInTheUserConfigFolder() {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const std::string exe = Native(dir.filePath("bin/quillon"));
    QCOMPARE(TForm1::DefaultLayoutFile(exe), Native(dir.filePath("quillon/quillon.dat")));
    QVERIFY(QFileInfo(dir.filePath("quillon")).isDir());
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(TForm1::DefaultLayoutFile(exe),
             Native(QDir::homePath() + QStringLiteral("/.config/quillon/quillon.dat")));
    if (!saved.isNull()) qputenv("XDG_CONFIG_HOME", saved);
  }

  // Values that cannot make a usable window give its design values; a
  // window larger than its screen is shrunk to it; the list and the columns
  // keep their limits.
  void soundValues() {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.dat");
    guitest::WriteBytes(path,
                        "abc\r\n50\r\n2600\r\n240\r\n5000\r\n10\r\n60\r\n500\r\n400\r\n"
                        "0\r\n31\r\nabc\r\n/nowhere/at all/\r\n");
    TForms forms(Native(path));
    forms.Form1->Screens = [] { return std::vector<TRect>{{0, 0, 1024, 768}}; };
    forms.Show();
    QCOMPARE(forms.Form1->geometry(), DesignMain());
    // The list takes the width, but never the buttons' room.
    QVERIFY(forms.Form1->Panel1->width() >= ButtonPanelWidth);
    QCOMPARE(forms.Form2().geometry().topLeft(), QPoint(10, 60));
    QCOMPARE(forms.Form2().size(), QSize(500, 400));
    const int design[] = {99, 206, 120};
    for (int c = 0; c < 3; ++c) QCOMPARE(forms.Form2().ColWidth(c), design[c]);
    QCOMPARE(forms.Form1->Model.LastFolder, std::string("/nowhere/at all/"));

    // Collapsed to a title bar and larger than the screen.
    guitest::WriteBytes(path, "0\r\n0\r\n104\r\n1\r\n10\r\n0\r\n0\r\n3000\r\n2000\r\n");
    TForms small(Native(path));
    small.Form1->Screens = [] { return std::vector<TRect>{{0, 0, 1024, 768}}; };
    small.Show();
    QCOMPARE(small.Form1->geometry(), DesignMain());
    QCOMPARE(small.Form1->ListWidth(), 20);
    QVERIFY(small.Form2().frameGeometry().width() <= 1024);
    QVERIFY(small.Form2().frameGeometry().height() <= 768);
    // The user cannot shrink either window below its usable size.
    small.Form1->resize(10, 10);
    QCOMPARE(small.Form1->size(), QSize(MinMainWidth, MinMainHeight));
  }

  // What closing writes, the next start reads back exactly.
  void roundTrip() {
    QTemporaryDir dir;
    const std::string path = Native(dir.filePath("q.dat"));
    {
      TForms forms(path);
      forms.Show();
      forms.Form1->setGeometry(30, 40, 500, 320);
      QApplication::processEvents();
      forms.Form1->SetListWidth(230);
      forms.Form2().setGeometry(60, 70, 640, 480);
      forms.Form2().SetColWidth(0, 50);
      forms.Form2().SetColWidth(1, 300);
      forms.Form2().SetColWidth(2, 77);
      forms.Form2().SetPreviewWidth(210);
      forms.Form1->Model.LastFolder = "/srv/図面 2/";
      QApplication::processEvents();
      QVERIFY(forms.Form1->close());
      QFile f(QString::fromStdString(path));
      QVERIFY(f.open(QIODevice::ReadOnly));
      QCOMPARE(f.readAll(), QByteArray("30\r\n40\r\n500\r\n320\r\n230\r\n60\r\n70\r\n640\r\n480\r\n"
                                       "50\r\n300\r\n77\r\n/srv/図面 2/\r\n"
                                       "main.maximized=0\r\nresults.maximized=0\r\n"
                                       "results.previewShare=0.3281\r\n"
                                       "results.previewShown=1\r\n"
                                       "results.thumbnails=0\r\nresults.thumbnailSize=96\r\n"
                                       "results.textsColumn=0\r\nresults.sameColumn=0\r\n"));
    }
    TForms again(path);
    again.Show();
    QCOMPARE(again.Form1->geometry().topLeft(), QPoint(30, 40));
    QCOMPARE(again.Form1->size(), QSize(500, 320));
    QCOMPARE(again.Form1->ListWidth(), 230);
    QCOMPARE(again.Form2().geometry().topLeft(), QPoint(60, 70));
    QCOMPARE(again.Form2().size(), QSize(640, 480));
    QCOMPARE(again.Form2().ColWidth(0), 50);
    QCOMPARE(again.Form2().ColWidth(1), 300);
    QCOMPARE(again.Form2().ColWidth(2), 77);
    QCOMPARE(again.Form2().PreviewWidth(), 210);
    QCOMPARE(again.Form1->Model.LastFolder, std::string("/srv/図面 2/"));
  }

  // Closing writes the file even without a search; a save that cannot
  // create the file leaves none and the window still closes.
  void saveOnClose() {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.dat");
    {
      TForms forms(Native(path));
      forms.Show();
      QVERIFY(forms.Form1->close());
    }
    QCOMPARE(ReadLayoutLines(Native(path))[0], std::string("192"));

    guitest::WriteBytes(dir.filePath("plain"), "x");
    TForms forms(Native(dir.filePath("plain/q.dat")));
    forms.Show();
    QVERIFY(forms.Form1->close());
    QVERIFY(!QFile::exists(dir.filePath("plain/q.dat")));
  }

  // Start, move off every screen and maximise, close, start again: the
  // window comes back maximised, its normal place moved onto the nearest of
  // the (fake) screens.
  void placementAndMaximisedState() {
    QTemporaryDir dir;
    const std::string path = Native(dir.filePath("q.dat"));
    const auto screens = [] { return std::vector<TRect>{{0, 0, 800, 600}, {800, 0, 640, 480}}; };
    {
      TForms forms(path);
      forms.Form1->Screens = screens;
      forms.Show();
      forms.Form1->setGeometry(5000, 100, 300, 240);
      QApplication::processEvents();
      QVERIFY(forms.Form1->close());
    }
    {
      TForms forms(path);
      forms.Form1->Screens = screens;
      forms.Show();
      QCOMPARE(forms.Form1->geometry().size(), QSize(300, 240));
      QVERIFY(forms.Form1->geometry().right() < 1440);
      QVERIFY(forms.Form1->geometry().left() >= 800);
      forms.Form1->showMaximized();
      QApplication::processEvents();
      QVERIFY(forms.Form1->close());
    }
    QCOMPARE(ReadLayoutExtras(path)[0],
             (std::pair<std::string, std::string>("main.maximized", "1")));
    TForms again(path);
    again.Form1->Screens = screens;
    again.Show();
    QVERIFY(again.Form1->isMaximized());
    QCOMPARE(again.Form1->normalGeometry().size(), QSize(300, 240));
  }
};

QTEST_MAIN(TLayoutTest)
#include "layout_test.moc"
