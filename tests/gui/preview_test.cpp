// The preview pane: the current row's definition drawn inside the fitted box,
// and the SVG of a drawing read back as XML.
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>

#include "app/catalog.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "qt/previewpane.h"
#include "qt/resultswindow.h"
#include "qt/thumbnailview.h"
#include "testkit/jwbuilder.h"
#include "testkit/testbytes.h"
#include "tests/gui/guitest.h"

namespace {

// A drawing whose definitions are a 20 x 10 box with a circle and a text,
// and nothing at all.
jwb::Bytes BoxDrawing() {
  jwb::Drawing d(700);
  jwb::BlockDef& box = d.Def(1, "BOX");
  const double corners[][4] = {{0, 0, 20, 0}, {20, 0, 20, 10}, {20, 10, 0, 10}, {0, 10, 0, 0}};
  for (const auto& c : corners) {
    jwb::ByteWriter w;
    w.F64(c[0]).F64(c[1]).F64(c[2]).F64(c[3]);
    box.Line().body = w.Take();
  }
  jwb::ByteWriter arc;
  arc.F64(10).F64(5).F64(4).F64(0).F64(0).F64(0).F64(1).U32(1);
  box.Arc().body = arc.Take();
  jwb::ByteWriter text;
  text.F64(2).F64(2).F64(8).F64(2).U32(0).F64(1).F64(2).F64(0).F64(0);
  box.Text("font", "<&>").body = text.Take();
  d.Def(2, "EMPTY");
  return d.JwwBytes();
}

}  // namespace

class TPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void drawsTheCurrentRowInsideItsBox() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("box.jww"));
    const jwb::Bytes bytes = BoxDrawing();
    guitest::WriteBytes(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<qsizetype>(bytes.size())));
    TForm2 form;
    for (int row = 1; row <= 2; ++row) {
      form.SetCell(0, row, "box.jww");
      form.SetCell(1, row, guitest::Native(path));
      form.SetCell(2, row, row == 1 ? "BOX" : "EMPTY");
    }
    form.SetRowCount(3);
    form.SetPreviewWidth(200);
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Preview->List() != nullptr, 30000);
    QCOMPARE(form.Preview->List()->Lines.size(), size_t(4));

    const QImage image = form.Preview->grab().toImage();
    const TViewFit fit = FitToPane(form.Preview->List()->Bounds, form.Preview->width(),
                                   form.Preview->height(), PreviewMargin);
    const TVec2 low = fit.Map({0, 0}), high = fit.Map({20, 10});
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == Qt::white) continue;
        const bool in = x >= low.X - 2 && x <= high.X + 2 && y >= high.Y - 2 && y <= low.Y + 2;
        ++(in ? inside : outside);
      }
    }
    QVERIFY(inside > 100);
    QCOMPARE(outside, 0);

    form.SetRow(2);
    QTRY_VERIFY_WITH_TIMEOUT(
        form.Preview->List() != nullptr && form.Preview->List()->EmptyDrawing(), 30000);
  }

  // The thumbnails show the table's rows in its order, follow its current
  // row both ways, and draw each block once its file is read.
  void thumbnailsFollowTheTable() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("box.jww"));
    const jwb::Bytes bytes = BoxDrawing();
    guitest::WriteBytes(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<qsizetype>(bytes.size())));
    TForm2 form;
    for (int row = 1; row <= 2; ++row) {
      form.SetCell(0, row, "box.jww");
      form.SetCell(1, row, guitest::Native(path));
      form.SetCell(2, row, row == 1 ? "BOX" : "EMPTY");
    }
    form.SetRowCount(3);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(form.SG1, Qt::Key_T, Qt::ControlModifier);
    QVERIFY(form.Thumbs->isVisible() && form.ThumbnailButton->isChecked());
    form.HeaderClick(2);
    form.HeaderClick(2);  // descending: EMPTY first
    QCOMPARE(form.Thumbs->model()->index(0, 2).data().toString(), QStringLiteral("EMPTY"));
    QTRY_VERIFY_WITH_TIMEOUT(form.Results.ThumbnailAt(1) != nullptr, 30000);
    const QRect cell = form.Thumbs->visualRect(form.Thumbs->model()->index(1, 2));
    const QImage image = form.Thumbs->viewport()->grab(cell).toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 100;
    QVERIFY(dark > 20);

    form.SetRow(1);  // BOX, drawn second
    QCOMPARE(form.Thumbs->currentIndex().row(), 1);
    QTest::keyClick(form.Thumbs, Qt::Key_Left);
    QCOMPARE(form.Row(), 2);
    const int size = form.Results.ThumbnailPlace().Size;
    QTest::keyClick(form.Thumbs, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(form.Results.ThumbnailPlace().Size > size);
    QCOMPARE(form.ThumbnailSlider->value(), form.Results.ThumbnailPlace().Size);
    form.ThumbnailButton->click();
    QVERIFY(form.SG1->isVisible());
  }

  // The header menu's second item shows the same-drawing counts once the
  // files are read (one drawing in two files).
  void sameDrawingColumn() {
    QTemporaryDir dir;
    const jwb::Bytes bytes = BoxDrawing();
    TForm2 form;
    for (int row = 1; row <= 2; ++row) {
      const QString path = dir.filePath(QString::number(row) + QStringLiteral(".jww"));
      guitest::WriteBytes(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<qsizetype>(bytes.size())));
      form.SetCell(1, row, guitest::Native(path));
      form.SetCell(2, row, "BOX");
    }
    form.SetRowCount(3);
    form.show();
    QTimer chooser;
    connect(&chooser, &QTimer::timeout, [] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        menu->actions().at(1)->trigger(), menu->close();
    });
    chooser.start(10);
    emit form.SG1->horizontalHeader()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!form.SG1->isColumnHidden(SameCol));
    QTRY_COMPARE_WITH_TIMEOUT(form.SG1->model()->index(1, SameCol).data().toString(),
                              QStringLiteral("1"), 30000);
  }

  // Every definition of the real files is drawn, and its SVG parses.
  void corpusDrawings() {
    const std::string corpus = testkit::CorpusDir();
    const std::vector<std::vector<std::string>> files = testkit::ReadTsv(corpus + "/files.tsv");
    if (files.empty()) QSKIP("no corpus");
    TJwwData jww;
    TJwsData jws;
    for (const std::vector<std::string>& f : files) {
      int drawn = 0;
      ReadFileDrawings(
          corpus + "/" + f[0], jww, jws, [](const std::string&) { return true; },
          [&](int, const std::string&, const TDisplayList& List) {
            QXmlStreamReader xml(QByteArray::fromStdString(SvgDrawing(List, 240, 170, true)));
            while (!xml.atEnd()) xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            ++drawn;
          });
      QCOMPARE(drawn, std::stoi(f[4]));
    }
  }

  void svgIsWellFormedXml() {
    const jwb::Bytes bytes = BoxDrawing();
    TJwwData reader;
    QVERIFY(reader.LoadFromMemory(bytes.data(), bytes.size()));
    for (int def : {0, 1}) {
      const std::string svg = SvgDrawing(BuildDisplayList(reader, def), 240, 170, true);
      QXmlStreamReader xml(QByteArray::fromStdString(svg));
      QStringList texts;
      while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text")
          texts << xml.readElementText();
      }
      QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
      QCOMPARE(texts,
               QStringList{def == 0 ? QStringLiteral("<&>") : QStringLiteral("（図形なし）")});
    }
  }
};

QTEST_MAIN(TPreviewTest)
#include "preview_test.moc"
