// The results window: its table, the find-next search and the current row.
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include "qt/previewpane.h"
#include "qt/resultmodel.h"
#include "qt/resultswindow.h"
#include "tests/gui/guitest.h"

using guitest::Sjis;

namespace {

// Fills the table with one result row per block name (UTF-8), as a search
// run does: cells first, then the row count.
void Fill(TForm2& Form, const QStringList& Names) {
  for (int i = 0; i < Names.size(); ++i) {
    Form.SetCell(0, i + 1, "f" + std::to_string(i) + ".jww");
    Form.SetCell(1, i + 1, "/d/f" + std::to_string(i) + ".jww");
    Form.SetCell(2, i + 1, Sjis(Names[i]));
  }
  Form.SetRowCount(static_cast<int>(Names.size()) + 1);
}

}  // namespace

class TResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void design() {
    TForm2 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("検索結果"));
    QCOMPARE(form.Button1->text(), QStringLiteral("検索"));
    QCOMPARE(form.Button2->text(), QStringLiteral("閉じる(&C)"));
    QVERIFY(form.Button1->isDefault());
    QCOMPARE(form.ColWidth(0), 99);
    QCOMPARE(form.ColWidth(1), 206);
    QCOMPARE(form.ColWidth(2), 120);
    QCOMPARE(form.Row(), 1);
  }

  // Columns 0 and 1 are native paths, column 2 CP932; the header row is the
  // horizontal header. Bad CP932 bytes show as U+FFFD and keep the rest.
  void displayTexts() {
    TForm2 form;
    form.SetCell(2, 0, "定義ブロック名");
    form.SetCell(0, 1, "図面.jww");
    form.SetCell(2, 1, Sjis(QStringLiteral("ブロック")));
    form.SetCell(2, 2, std::string("A\x81") + "\xFF" + "B");
    form.SetRowCount(3);
    QCOMPARE(form.Model->headerData(2, Qt::Horizontal).toString(),
             QStringLiteral("定義ブロック名"));
    QCOMPARE(form.Model->data(form.Model->index(0, 0)).toString(), QStringLiteral("図面.jww"));
    QCOMPARE(form.Model->data(form.Model->index(0, 2)).toString(), QStringLiteral("ブロック"));
    const QString bad = form.Model->data(form.Model->index(1, 2)).toString();
    QVERIFY(bad.startsWith(QLatin1Char('A')) && bad.endsWith(QLatin1Char('B')));
    QVERIFY(bad.contains(QChar(0xFFFD)));
  }

  void findNext_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QList<int>>("rows");  // the current row after each press

    QTest::newRow("row 1 is not examined right after opening")
        << QStringList{"ABC", "xyz", "q"} << "abc" << QList<int>{1, 1};
    QTest::newRow("one match per press, in order, no wrap")
        << QStringList{"zz", "abc", "q", "xABCx", "Abc"} << "abc" << QList<int>{2, 4, 5, 5};
    QTest::newRow("half-width katakana finds hiragana and katakana")
        << QStringList{"-", "ふろっく", "ブロック", "フロック"} << "ﾌﾛｯｸ" << QList<int>{2, 4, 4};
    QTest::newRow("a finds ABC and full-width ＡＢＣ")
        << QStringList{"-", "ＡＢＣ", "ABC"} << "a" << QList<int>{2, 3};
    QTest::newRow("x finds the multiplication sign")
        << QStringList{"-", "2×4"} << "x" << QList<int>{2};
    QTest::newRow("spaces in the name are ignored")
        << QStringList{"-", "BL OCK", "ＢＬ　ＯＣＫ"} << "block" << QList<int>{2, 3};
    QTest::newRow("spaces only find nothing")
        << QStringList{"-", "a b", " ", "　"} << "   " << QList<int>{1};
    QTest::newRow("full-width spaces only find nothing")
        << QStringList{"-", "a b", " "} << "　　" << QList<int>{1};
    QTest::newRow("empty text finds nothing") << QStringList{"-", "a"} << "" << QList<int>{1};
    QTest::newRow("text outside CP932 finds nothing")
        << QStringList{"-", "a", "?"} << "a😀" << QList<int>{1};
    QTest::newRow("only the block name column is searched")
        << QStringList{"-", "q"} << "f1" << QList<int>{1};
    QTest::newRow("no results") << QStringList{""} << "a" << QList<int>{1};
  }

  void findNext() {
    QFETCH(QStringList, names);
    QFETCH(QString, key);
    QFETCH(QList<int>, rows);
    TForm2 form;
    Fill(form, names);
    form.Edit1->setText(key);
    QCOMPARE(form.Row(), 1);
    for (int expected : rows) {
      form.Button1Click();
      QCOMPARE(form.Row(), expected);
      QCOMPARE(form.SG1->currentIndex().row(), expected - 1);
      QCOMPARE(form.SG1->selectionModel()->selectedRows().size(), 1);
    }
  }

  // The current row survives a new fill; when the row count shrinks to it
  // or below, it becomes the last row.
  void currentRowAcrossRuns_data() {
    QTest::addColumn<int>("before");   // rows of the first run
    QTest::addColumn<int>("current");  // current row after the first showing
    QTest::addColumn<int>("after");    // rows of the second run
    QTest::addColumn<int>("expected");
    QTest::newRow("larger run keeps the row") << 5 << 4 << 9 << 4;
    QTest::newRow("count one above the row keeps it") << 5 << 4 << 4 << 4;
    QTest::newRow("count equal to the row clamps") << 5 << 4 << 3 << 3;
    QTest::newRow("count below the row clamps") << 9 << 8 << 2 << 2;
    QTest::newRow("empty run") << 9 << 8 << 0 << 1;
  }

  void currentRowAcrossRuns() {
    QFETCH(int, before);
    QFETCH(int, current);
    QFETCH(int, after);
    QFETCH(int, expected);
    TForm2 form;
    QStringList names;
    for (int i = 0; i < before; ++i) names << QStringLiteral("A%1").arg(i);
    Fill(form, names);
    form.SetRow(current);
    names.clear();
    for (int i = 0; i < after; ++i) names << QStringLiteral("B%1").arg(i);
    if (after == 0) {
      form.SetRowCount(2);
      for (int c = 0; c < 3; ++c) form.SetCell(c, 1, std::string());
    } else {
      Fill(form, names);
    }
    QCOMPARE(form.Row(), expected);
    QCOMPARE(form.SG1->currentIndex().row(), expected - 1);
    // Rows of the first run beyond the new count are gone.
    QCOMPARE(form.Model->rowCount(), std::max(after, 1));
    QCOMPARE(form.Cell(2, std::max(after, 1) + 1), std::string());
  }

  // Enter in the search box presses "検索"; the text stays for the next
  // showing; Esc closes like "閉じる(&C)".
  void keys() {
    TForm2 form;
    Fill(form, {"-", "abc"});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Edit1->setFocus();
    QTest::keyClicks(form.Edit1, QStringLiteral("ABC"));
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    QCOMPARE(form.Row(), 2);
    // Nothing more below: said until the next key.
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    QCOMPARE(form.Row(), 2);
    QCOMPARE(form.StatusBarText(), QStringLiteral("これより下に一致する行はありません"));
    QTest::keyClick(form.Edit1, Qt::Key_Left);
    QCOMPARE(form.StatusBarText(), QString());
    // Esc in a filter box with text clears it; in an empty one it closes.
    form.FilterEdit->setFocus();
    QTest::keyClicks(form.FilterEdit, QStringLiteral("zz"));
    QCOMPARE(form.Model->rowCount(), 0);
    QTest::keyClick(form.FilterEdit, Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QCOMPARE(form.FilterEdit->text(), QString());
    QCOMPARE(form.Model->rowCount(), 2);
    form.Edit1->setFocus();
    QVERIFY(form.isVisible());
    QTest::keyClick(form.Edit1, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.Edit1->text(), QStringLiteral("ABC"));

    guitest::TModalCloser closer(&form, [&] { form.Button2->click(); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QCOMPARE(closer.Closed, 1);
    QCOMPARE(form.Row(), 2);
    QCOMPARE(form.Edit1->text(), QStringLiteral("ABC"));
  }

  void copyRows() {
    TForm2 form;
    Fill(form, {"ブロック", "b", "c"});
    form.SG1->selectionModel()->select(
        QItemSelection(form.Model->index(2, 0), form.Model->index(0, 2)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QString expected = QStringLiteral(
        "f0.jww\t/d/f0.jww\tブロック\n"
        "f1.jww\t/d/f1.jww\tb\n"
        "f2.jww\t/d/f2.jww\tc\n");
    QCOMPARE(form.SelectedRowsText(), expected);

    QApplication::clipboard()->clear();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    form.SG1->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keySequence(form.SG1, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), expected);
  }

  // The filter box, a header click and a double-click, wired to the table.
  void filterSortOpen() {
    TForm2 form;
    Fill(form, {"図10", "窓", "図2"});
    std::vector<std::pair<TOpenAction, std::string>> opened;
    form.OpenFile = [&](TOpenAction a, const std::string& p) { opened.emplace_back(a, p); };
    form.FilterEdit->setText(QStringLiteral("ず"));  // hiragana does not match kanji
    QCOMPARE(form.Model->rowCount(), 0);
    form.FilterEdit->setText(QStringLiteral("図"));
    QCOMPARE(form.Model->rowCount(), 2);
    form.HeaderClick(2);
    QCOMPARE(form.Model->DisplayText(2, form.Model->ResultRow(0)), QStringLiteral("図2"));
    QCOMPARE(form.Row(), 1);  // the same result row, now shown second
    QCOMPARE(form.SG1->currentIndex().row(), 1);
    emit form.SG1->doubleClicked(form.SG1->currentIndex());
    QCOMPARE(opened.size(), size_t(1));
    QCOMPARE(opened[0].first, DoubleClickAction());
    QCOMPARE(opened[0].second, std::string("/d/f0.jww"));
    QCOMPARE(form.StatusBarText(), QStringLiteral("絞り込み 2 / 3"));
    form.SetReport({3, 3, 0, 0, false}, {});
    QCOMPARE(form.StatusBarText(), QStringLiteral("3 行（3 ファイル）・絞り込み 2 / 3"));
  }

  // The block name fills the table at any width and the path gives way;
  // Shift+F3, Ctrl+A, F6 and the preview button; a cut cell's tooltip.
  void widthsAndKeys() {
    TForm2 form;
    Fill(form, {"窓", "abc", "ドア"});
    const std::string longPath = "/d/" + std::string(200, 'p') + "/f.jww";
    form.SetCell(1, 1, longPath);
    form.SetRowCount(4);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const auto drawnEnd = [&] {
      return form.SG1->columnViewportPosition(2) + form.SG1->columnWidth(2);
    };
    QTRY_COMPARE(drawnEnd(), form.SG1->viewport()->width());
    QVERIFY(form.SG1->columnWidth(2) >= 120);
    QVERIFY(form.SG1->columnWidth(1) < 206);
    form.resize(1000, form.height());
    QTRY_COMPARE(drawnEnd(), form.SG1->viewport()->width());
    QCOMPARE(form.SG1->columnWidth(1), 206);
    form.SG1->horizontalHeader()->resizeSection(1, 300);  // as a drag does
    QCOMPARE(form.ColWidth(1), 300);
    form.SG1->setColumnWidth(1, 100);
    const QPoint cell = form.SG1->visualRect(form.Model->index(0, 1)).center();
    QHelpEvent help(QEvent::ToolTip, cell, form.SG1->viewport()->mapToGlobal(cell));
    QApplication::sendEvent(form.SG1->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QString::fromStdString(longPath));
    form.Edit1->setText(QStringLiteral("A"));
    form.SetRow(3);
    QTest::keyClick(form.Edit1, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(form.Row(), 2);
    QTest::keyClick(form.Edit1, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(form.StatusBarText(), QStringLiteral("これより上に一致する行はありません"));
    form.SG1->setFocus();
    QTest::keyClick(form.SG1, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(form.SG1->selectionModel()->selectedRows().size(), 3);

    QTest::keyClick(form.SG1, Qt::Key_F6);
    QVERIFY(!form.Preview->isVisible() && !form.PreviewButton->isChecked());
    form.PreviewButton->click();
    QTRY_VERIFY(form.Preview->isVisible() && form.Preview->width() > 100);
  }
};

QTEST_MAIN(TResultsTest)
#include "results_test.moc"
