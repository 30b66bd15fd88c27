// The window-layout file: its lines and values, and LoadLayout/SaveLayout
// applied to the two windows.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/layout.h"
#include "qt/mainwindow.h"
#include "qt/resultswindow.h"
#include "tests/gui/guitest.h"

using guitest::Native;

namespace {

// Both windows as the program creates them, with the layout file given.
struct TForms {
  explicit TForms(const std::string& LayoutFile) {
    Form1 = std::make_unique<TForm1>();
    Form1->Form2 = new TForm2(Form1.get());
    Form1->LayoutFile = LayoutFile;
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
  void numbers_data() {
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("list width above 2000") << 5 << "5000" << 2000;
    QTest::newRow("list width below 20") << 5 << "10" << 20;
    QTest::newRow("column 0 not a number") << 10 << "abc" << 32;
    QTest::newRow("column 0 31") << 10 << "31" << 32;
    QTest::newRow("column 0 32") << 10 << "32" << 32;
    QTest::newRow("column 1 negative") << 11 << "-5" << 32;
    QTest::newRow("left not a number") << 1 << "abc" << 0;
    QTest::newRow("left negative is kept") << 1 << "-12" << -12;
    QTest::newRow("results left off screen is kept") << 6 << "-30000" << -30000;
    QTest::newRow("trailing space") << 4 << "7 " << 0;
    QTest::newRow("left near the largest int") << 1 << "2147483647" << 1000000;
    QTest::newRow("width near the smallest int") << 3 << "-2147483648" << -1000000;
  }
  void numbers() {
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(LayoutNumber(line, text.toStdString()), value);
  }

  void split_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("first");  // the leading lines; the rest are empty
    QTest::newRow("CR LF") << QByteArray("1\r\n2\r\n") << QStringList{"1", "2"};
    QTest::newRow("LF alone ends a line") << QByteArray("1\n2\n") << QStringList{"1", "2"};
    QTest::newRow("last line without line end") << QByteArray("1\r\n2") << QStringList{"1", "2"};
    QTest::newRow("CR bytes are no part of a line")
        << QByteArray("1\r\r\n2\r3\n") << QStringList{"1", "23"};
    QTest::newRow("0x1A ends the file") << QByteArray(
                                               "1\r\n2\x1A"
                                               "3\r\n4\r\n")
                                        << QStringList{"1", "2"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("lines after the 13th are ignored")
        << QByteArray("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n/f/\n14\n15\n")
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "/f/"};
  }
  void split() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, first);
    std::vector<std::string> expected(LayoutLineCount);
    for (int i = 0; i < first.size(); ++i)
      expected[static_cast<size_t>(i)] = first[i].toStdString();
    QCOMPARE(SplitLayoutText(content.toStdString()), expected);

    // The file reader sees the same lines.
    QTemporaryDir dir;
    const QString path = dir.filePath("q.dat");
    guitest::WriteBytes(path, content);
    QCOMPARE(ReadLayoutLines(Native(path)), expected);
  }

  void missingFileReadsNothing() {
    QTemporaryDir dir;
    QVERIFY(ReadLayoutLines(Native(dir.filePath("none.dat"))).empty());
  }

  void format() {
    TLayoutValues v;
    v.Numbers = {192, 107, 280, 245, 176, -5, 129, 456, 293, 99, 206, 120};
    v.LastFolder = "/home/u/図面/";
    QCOMPARE(FormatLayout(v), std::string("192\r\n107\r\n280\r\n245\r\n176\r\n-5\r\n129\r\n456\r\n"
                                          "293\r\n99\r\n206\r\n120\r\n/home/u/図面/\r\n"));
  }

  // A failed save leaves no file behind; a folder of the file's name is not
  // removed; a good save replaces an older, longer file.
  void writeFile() {
    QTemporaryDir dir;
    guitest::WriteBytes(dir.filePath("plain"), "x");
    const std::string underFile = Native(dir.filePath("plain/q.dat"));
    QVERIFY(!WriteLayoutFile(underFile, "1\r\n"));
    QVERIFY(!QFile::exists(dir.filePath("plain/q.dat")));

    QVERIFY(QDir(dir.path()).mkdir("folder.dat"));
    QVERIFY(!WriteLayoutFile(Native(dir.filePath("folder.dat")), "1\r\n"));
    QVERIFY(QFileInfo(dir.filePath("folder.dat")).isDir());

    const QString path = dir.filePath("q.dat");
    guitest::WriteBytes(path, QByteArray(100, 'z'));
    QVERIFY(WriteLayoutFile(Native(path), "1\r\n2\r\n"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("1\r\n2\r\n"));
  }

  void defaultLocationBesideTheProgram() {
    QTemporaryDir dir;
    const std::string exe = Native(dir.filePath("quillon"));
    QCOMPARE(TForm1::DefaultLayoutFile(exe), exe + ".dat");
    QCOMPARE(TForm1::DefaultLayoutFile(exe + ".bin"), exe + ".dat");
  }

  void clampedValues() {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.dat");
    guitest::WriteBytes(path,
                        "abc\r\n50\r\n2600\r\n240\r\n5000\r\n10\r\n20\r\n500\r\n400\r\n"
                        "0\r\n31\r\nabc\r\n/nowhere/at all/\r\n");
    TForms forms(Native(path));
    forms.Show();
    // Left 0; the offscreen platform then keeps the window's frame on its screen.
    QVERIFY(forms.Form1->geometry().left() <= 2);
    QCOMPARE(forms.Form1->geometry().top(), 50);
    QCOMPARE(forms.Form1->width(), 2600);
    QCOMPARE(forms.Form1->ListWidth(), 2000);
    QCOMPARE(forms.Form2().geometry().topLeft(), QPoint(10, 20));
    QCOMPARE(forms.Form2().size(), QSize(500, 400));
    for (int c = 0; c < 3; ++c) QCOMPARE(forms.Form2().ColWidth(c), 32);
    QCOMPARE(forms.Form1->LastFolder, std::string("/nowhere/at all/"));

    guitest::WriteBytes(path, "0\r\n0\r\n400\r\n300\r\n10\r\n");
    TForms narrow(Native(path));
    narrow.Show();
    QCOMPARE(narrow.Form1->ListWidth(), 20);
  }

  // A file of four lines: the rest reads as empty text.
  void shortFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.dat");
    guitest::WriteBytes(path, "100\r\n50\r\n300\r\n240\r\n");
    TForms forms(Native(path));
    forms.Show();
    QCOMPARE(forms.Form1->geometry().topLeft(), QPoint(100, 50));
    QCOMPARE(forms.Form1->size(), QSize(300, 240));
    QCOMPARE(forms.Form1->ListWidth(), 20);
    QCOMPARE(forms.Form2().geometry().topLeft(), QPoint(0, 0));
    for (int c = 0; c < 3; ++c) QCOMPARE(forms.Form2().ColWidth(c), 32);
    QCOMPARE(forms.Form1->LastFolder, std::string());
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
      forms.Form1->LastFolder = "/srv/図面 2/";
      QApplication::processEvents();
      QVERIFY(forms.Form1->close());
      QFile f(QString::fromStdString(path));
      QVERIFY(f.open(QIODevice::ReadOnly));
      QCOMPARE(f.readAll(), QByteArray("30\r\n40\r\n500\r\n320\r\n230\r\n60\r\n70\r\n640\r\n480\r\n"
                                       "50\r\n300\r\n77\r\n/srv/図面 2/\r\n"
                                       "main.maximized=0\r\nresults.maximized=0\r\n"
                                       "results.preview=210\r\n"));
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
    QCOMPARE(again.Form1->LastFolder, std::string("/srv/図面 2/"));
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
      forms.Form1->setGeometry(5000, 100, 300, 200);
      QApplication::processEvents();
      QVERIFY(forms.Form1->close());
    }
    {
      TForms forms(path);
      forms.Form1->Screens = screens;
      forms.Show();
      QCOMPARE(forms.Form1->geometry().size(), QSize(300, 200));
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
    QCOMPARE(again.Form1->normalGeometry().size(), QSize(300, 200));
  }
};

QTEST_MAIN(TLayoutTest)
#include "layout_test.moc"
