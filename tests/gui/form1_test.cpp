// The main window: start-up, adding, dropping and deleting files, a whole
// search run through both windows, and refusal of re-entry during a run.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "qt/mainwindow.h"
#include "qt/problemlist.h"
#include "qt/resultmodel.h"
#include "qt/resultswindow.h"
#include "testkit/jwbuilder.h"
#include "tests/gui/guitest.h"

using guitest::Native;
using guitest::Sjis;

namespace {

// Both windows as the program creates them, shown, with a layout file in a
// scratch folder that also holds the test's drawing files.
class TForms {
 public:
  TForms() {
    Form1 = std::make_unique<TForm1>();
    Form1->Form2 = new TForm2(Form1.get());
    Form1->Model.LayoutFile = File("quillon.dat");
    Form1->OpenDialog1 = [](const QString&) -> std::optional<QStringList> {
      qFatal("unexpected open-file dialog");
    };
  }
  void Show() {
    Form1->show();
    QApplication::processEvents();
  }
  TForm2& Form2() { return *Form1->Form2; }
  std::string File(const QString& Name) const { return Native(Dir.filePath(Name)); }
  // A file that exists, with any content.
  std::string Touch(const QString& Name) {
    guitest::WriteBytes(Dir.filePath(Name), "not a drawing");
    return File(Name);
  }
  std::string Write(const QString& Name, const jwb::Bytes& Bytes) {
    jwb::WriteFile(File(Name), Bytes);
    return File(Name);
  }
  // The result rows shown, as "file|path|block" texts.
  QStringList Rows() {
    QStringList out;
    TResultModel* m = Form2().Model;
    for (int r = 0; r < m->rowCount(); ++r) {
      out << m->DisplayText(0, r + 1) + "|" + m->DisplayText(1, r + 1) + "|" +
                 m->DisplayText(2, r + 1);
    }
    return out;
  }
  QString Q(const std::string& Path) const { return QString::fromStdString(Path); }

  QTemporaryDir Dir;
  std::unique_ptr<TForm1> Form1;
};

void Drop(QWidget* Target, const QList<QUrl>& Urls, bool* EnterAccepted = nullptr) {
  QMimeData mime;
  mime.setUrls(Urls);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QApplication::sendEvent(Target, &enter);
  if (EnterAccepted) *EnterAccepted = enter.isAccepted();
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Target, &drop);
}

QUrl Url(const std::string& Path) {
  return QUrl::fromLocalFile(QString::fromStdString(Path));
}

// The tooltip the list shows over entry Row.
QString TipOf(QListWidget* List, int Row) {
  const QPoint at = List->visualItemRect(List->item(Row)).center();
  QHelpEvent help(QEvent::ToolTip, at, List->viewport()->mapToGlobal(at));
  QApplication::sendEvent(List->viewport(), &help);
  return QToolTip::text();
}

int SelectedCount(const QListWidget* List) {
  return List->selectedItems().size();
}

}  // namespace

class TForm1Test : public QObject {
  Q_OBJECT

 private slots:
  void startUp() {
    TForms f;
    const std::string given = f.Touch("given.jww");
    f.Form1->InitialFiles = {given, f.Touch("given.txt"), f.File("gone.jws")};
    f.Show();
    TForm1& w = *f.Form1;
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillon"));
    QCOMPARE(w.Label1->text(), QStringLiteral("検索するJWファイル名"));
    QCOMPARE(w.Button1->text(), QStringLiteral("追加(&A)"));
    QCOMPARE(w.Button2->text(), QStringLiteral("削除(&D)"));
    QCOMPARE(w.Button3->text(), QStringLiteral("検索(&S)"));
    QCOMPARE(w.Button4->text(), QStringLiteral("終了(&X)"));
    // The two paths not taken are said, and a click lists them.
    QCOMPARE(w.StatusText(), QStringLiteral("2 件を追加できませんでした"));
    int listed = 0;
    w.OnProblemList = [&](TProblemList& List) {
      listed = List.List->topLevelItemCount();
      QTimer::singleShot(0, &List, &QDialog::reject);
    };
    QTest::mouseClick(w.StatusBar1, Qt::LeftButton);
    QCOMPARE(listed, 2);
    w.Model.Delete();  // no current line: deletes nothing, the note stays
    QCOMPARE(w.StatusText(), QStringLiteral("2 件を追加できませんでした"));
    w.DropFiles({given});
    QCOMPARE(w.StatusText(),
             QStringLiteral("[追加]又はドラッグ＆ドロップで JWW/JWSファイルを指示し、"
                            "[検索]をクリックして下さい"));
    QVERIFY(w.acceptDrops());
    QVERIFY(w.JwwReader && w.JwsReader);
    QVERIFY(!w.ProgressBar1->isVisible());

    // Only the command-line file that passes the drop rules is listed (and
    // the one dropped since).
    QCOMPARE(w.ListPaths(), (std::vector<std::string>{given, given}));

    const std::string exeFolder = Native(QCoreApplication::applicationDirPath()) + "/";
    QCOMPARE(w.Model.ExeFolder, exeFolder);
    QCOMPARE(w.Model.LastFolder, exeFolder);

    TForm2& r = f.Form2();
    QCOMPARE(r.RowCount(), 2);
    QCOMPARE(r.Model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ファイル名"));
    QCOMPARE(r.Model->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("フルパスファイル名"));
    QCOMPARE(r.Model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("定義ブロック名"));
    QCOMPARE(f.Rows(), QStringList{"||"});
    QVERIFY(!r.isVisible());
  }

  void addThroughDialog() {
    TForms f;
    f.Show();
    const std::string a = f.Touch("a.jww");
    const std::string b = f.Touch("b.JWS");
    const std::string txt = f.Touch("c.txt");
    QVERIFY(QDir(f.Dir.path()).mkdir("d.jww"));
    QVERIFY(QDir(f.Dir.path()).mkdir("sub"));
    const std::string other = f.Touch("sub/e.Jww");
    QStringList startedAt;
    std::optional<QStringList> answer;
    f.Form1->OpenDialog1 = [&](const QString& Start) {
      startedAt << Start;
      return answer;
    };
    const QString exeFolder = f.Q(f.Form1->Model.ExeFolder);

    // Skipped silently: other extensions, folders, missing files. The same
    // file twice is listed twice. The folder is that of the first file.
    answer = QStringList{f.Q(txt), f.Q(a), f.Q(f.File("d.jww")), f.Q(f.File("gone.jws")),
                         f.Q(b),   f.Q(a)};
    f.Form1->Button1->click();
    QCOMPARE(f.Form1->ListPaths(), (std::vector<std::string>{a, b, a}));
    QCOMPARE(f.Form1->Model.LastFolder, Native(f.Dir.path()) + "/");

    // Cancel changes nothing.
    answer.reset();
    f.Form1->Button1->click();
    QCOMPARE(f.Form1->ListPaths().size(), size_t(3));
    QCOMPARE(f.Form1->Model.LastFolder, Native(f.Dir.path()) + "/");

    answer = QStringList{f.Q(other)};
    f.Form1->Button1->click();
    QCOMPARE(f.Form1->ListPaths().back(), other);
    QCOMPARE(f.Form1->Model.LastFolder, Native(f.Dir.path()) + "/sub/");
    const QString dir = f.Q(Native(f.Dir.path()) + "/");
    QCOMPARE(startedAt, (QStringList{exeFolder, dir, dir}));
  }

  // A folder, a text file and an existing «plan.JwW» dropped together add
  // only the last; the dialog's folder does not change.
  void dropFiles() {
    TForms f;
    f.Show();
    QVERIFY(QDir(f.Dir.path()).mkdir("folder.jww"));
    const std::string plan = f.Touch("plan.JwW");
    const std::string folderBefore = f.Form1->Model.LastFolder;
    bool entered = false;
    Drop(f.Form1.get(),
         {Url(f.File("folder.jww")), Url(f.Touch("plan.txt")), QUrl("https://example.org/x.jww"),
          Url(plan)},
         &entered);
    QVERIFY(entered);
    QCOMPARE(f.Form1->ListPaths(), std::vector<std::string>{plan});
    QCOMPARE(f.Form1->Model.LastFolder, folderBefore);
  }

  void deleteLines_data() {
    QTest::addColumn<int>("current");  // -1: no line has been focused
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("left");
    QTest::newRow("several lines") << 1 << QList<int>{1, 3, 4} << QList<int>{0, 2};
    QTest::newRow("all lines") << 0 << QList<int>{0, 1, 2, 3, 4} << QList<int>{};
    QTest::newRow("no current line") << -1 << QList<int>{1} << QList<int>{0, 1, 2, 3, 4};
  }
  void deleteLines() {
    QFETCH(int, current);
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, left);
    TForms f;
    f.Show();
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) paths.push_back(f.Touch(QStringLiteral("f%1.jww").arg(i)));
    f.Form1->DropFiles(paths);
    QListWidget* list = f.Form1->ListBox1;
    if (current >= 0) {
      list->setCurrentRow(current, QItemSelectionModel::NoUpdate);
    } else {
      list->setCurrentIndex(QModelIndex());
      QCOMPARE(list->currentRow(), -1);
    }
    list->clearSelection();
    for (int i : selected) list->item(i)->setSelected(true);
    f.Form1->Button2->click();
    std::vector<std::string> expected;
    for (int i : left) expected.push_back(paths[static_cast<size_t>(i)]);
    QCOMPARE(f.Form1->ListPaths(), expected);
  }

  // A whole run: rows in list order, the marker cut case-blind, the results
  // window modal; a later, smaller run shrinks the table and clamps the row.
  void searchRun() {
    TForms f;
    f.Show();
    jwb::Drawing drawing(700);
    drawing.Def(1, "BLOCK-A").Line();
    drawing.Def(2, Sjis("ＢＬＯＣＫ") + "@@sfigorgflag7");
    drawing.Def(3, "@@SFIGORGFLAG");
    const std::string jww = f.Write("図面.jww", drawing.JwwBytes());
    jwb::Drawing figure(700);
    figure.Def(1, Sjis("部品"));
    const std::string jws = f.Write("parts.Jws", figure.JwsBytes());
    const std::string junk = f.Touch("junk.jww");
    f.Form1->DropFiles({jww, junk, jws});

    QStringList status;
    bool running = false, buttonsEnabled = true, progressShown = false;
    QTimer::singleShot(0, [&] {
      status << f.Form1->StatusText();
      running = f.Form1->SearchRunning();
      buttonsEnabled = f.Form1->Button3->isEnabled() || f.Form1->Button2->isEnabled();
      progressShown = f.Form1->ProgressBar1->isVisible();
    });
    QStringList shownRows;
    guitest::TModalCloser closer(&f.Form2(), [&] {
      shownRows = f.Rows();
      f.Form2().SetRow(4);
    });
    f.Form1->Button3->click();

    QCOMPARE(closer.Closed, 1);
    QVERIFY(closer.ModalWhenShown);
    QCOMPARE(status, QStringList{"ファイル【" + f.Q(jww) + "】検索中"});
    QVERIFY(running);
    QVERIFY(!buttonsEnabled);
    QVERIFY(progressShown);
    const QStringList expected = {
        "図面.jww|" + f.Q(jww) + "|BLOCK-A",
        "図面.jww|" + f.Q(jww) + "|ＢＬＯＣＫ",
        "図面.jww|" + f.Q(jww) + "|",
        "parts.Jws|" + f.Q(jws) + "|部品",
    };
    QCOMPARE(shownRows, expected);
    QCOMPARE(f.Rows(), expected);
    QCOMPARE(f.Form1->StatusText(), QString::fromStdString(IdlePrompt));
    QCOMPARE(SelectedCount(f.Form1->ListBox1), 0);
    QVERIFY(!f.Form1->SearchRunning());
    QVERIFY(f.Form1->Button3->isEnabled());
    QVERIFY(!f.Form1->ProgressBar1->isVisible());

    // After a run nothing is selected, so delete deletes nothing.
    f.Form1->ListBox1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    f.Form1->ListBox1->clearSelection();
    f.Form1->Button2->click();
    QCOMPARE(f.Form1->ListCount(), 3);

    // Second run over the figure file alone: one row, current row clamped.
    f.Form1->ListBox1->setCurrentRow(0);
    f.Form1->ListBox1->item(1)->setSelected(true);
    f.Form1->Button2->click();
    QCOMPARE(f.Form1->ListPaths(), std::vector<std::string>{jws});
    f.Form1->Button3->click();
    QCOMPARE(closer.Closed, 2);
    QCOMPARE(f.Rows(), QStringList{"parts.Jws|" + f.Q(jws) + "|部品"});
    QCOMPARE(f.Form2().RowCount(), 2);
    QCOMPARE(f.Form2().Row(), 1);

    // Files without block definitions still open the window, with one empty row.
    f.Form1->DropFiles({junk});
    f.Form1->ListBox1->setCurrentRow(0);
    f.Form1->Button2->click();
    f.Form1->Button3->click();
    QCOMPARE(closer.Closed, 3);
    QCOMPARE(f.Rows(), QStringList{"||"});
  }

  // While a run is in progress the buttons, drops and closing do nothing.
  void reentryRefused() {
    TForms f;
    f.Show();
    const std::string a = f.Touch("a.jww");
    const std::string b = f.Touch("b.jws");
    f.Form1->DropFiles({a});
    int dialogs = 0;
    f.Form1->OpenDialog1 = [&](const QString&) -> std::optional<QStringList> {
      ++dialogs;
      return QStringList{f.Q(b)};
    };
    bool entered = true;
    QTimer::singleShot(0, [&] {
      f.Form1->ListBox1->setCurrentRow(0);
      f.Form1->ListBox1->item(0)->setSelected(true);
      for (QPushButton* button :
           {f.Form1->Button1, f.Form1->Button2, f.Form1->Button3, f.Form1->Button4}) {
        button->click();
      }
      f.Form1->Button1Click();
      f.Form1->Button2Click();
      f.Form1->Button3Click();
      f.Form1->Button4Click();  // disabled: the button is not clicked
      Drop(f.Form1.get(), {Url(b)}, &entered);
    });
    guitest::TModalCloser closer(&f.Form2());
    f.Form1->Button3->click();

    QCOMPARE(closer.Closed, 1);
    QCOMPARE(dialogs, 0);
    QVERIFY(!entered);
    QVERIFY(f.Form1->isVisible());
    QCOMPARE(f.Form1->ListPaths(), std::vector<std::string>{a});
    QVERIFY(f.Form1->JwwReader && f.Form1->JwsReader);

    // Afterwards everything works again.
    Drop(f.Form1.get(), {Url(b)});
    QCOMPARE(f.Form1->ListCount(), 2);
    f.Form1->Button4->click();
    QVERIFY(!f.Form1->isVisible());
    QVERIFY(!f.Form1->JwwReader && !f.Form1->JwsReader);
  }

  // Files that were not read completely are marked with the reason; a stop
  // keeps the rows read so far and says so.
  void problemFilesAndStop() {
    TForms f;
    f.Show();
    jwb::Drawing drawing(700);
    drawing.Def(1, "A").Line();
    const std::string good = f.Write("good.jww", drawing.JwwBytes());
    const std::string junk = f.Touch("junk.jww");
    f.Form1->DropFiles({junk, good});
    guitest::TModalCloser closer(&f.Form2());
    f.Form1->Button3->click();
    QListWidgetItem* bad = f.Form1->ListBox1->item(0);
    QVERIFY(!bad->icon().isNull());
    QVERIFY(f.Form1->ListBox1->item(1)->icon().isNull());
    TFileOutcome wrong;
    wrong.Kind = TOutcomeKind::WrongSignature;
    QCOMPARE(TipOf(f.Form1->ListBox1, 0),
             f.Q(junk) + "\n" + QString::fromStdString(DescribeOutcomeJa(wrong)));
    QCOMPARE(TipOf(f.Form1->ListBox1, 1), f.Q(good));
    QCOMPARE(f.Form2().StatusBarText(),
             QStringLiteral("1 行（2 ファイル）・読み込めなかったファイル 1"));
    QCOMPARE(f.Form2().Model->Results().Problems().size(), size_t(1));

    // Esc while the first file is read: the run ends after it.
    f.Form1->DropFiles({good});
    f.Form1->ListBox1->setCurrentRow(0);
    f.Form1->Button2->click();
    f.Form1->activateWindow();  // as the window manager does when the results close
    QVERIFY(QTest::qWaitForWindowActive(f.Form1.get()));
    QTimer::singleShot(0, [&] {
      // Activation can lag on a loaded machine; a window shortcut needs it.
      QApplication::setActiveWindow(f.Form1.get());
      QTest::keyClick(f.Form1.get(), Qt::Key_Escape);
    });
    f.Form1->Button3->click();
    QCOMPARE(closer.Closed, 2);
    QCOMPARE(f.Rows().size(), 1);
    QVERIFY(f.Form1->ListBox1->item(0)->icon().isNull());  // marks of the last run are gone
    QCOMPARE(f.Form2().StatusBarText(), QStringLiteral("1 行（1 ファイル）・中止しました"));
  }

  // Closing the window during a run stops it after the file being read and
  // then closes, without the results window; the layout is saved.
  void closeDuringARun() {
    TForms f;
    f.Show();
    jwb::Drawing drawing(700);
    drawing.Def(1, "A").Line();
    const std::string a = f.Write("a.jww", drawing.JwwBytes());
    f.Form1->DropFiles({a, a, a});
    bool refused = false;
    QTimer::singleShot(0, [&] { refused = !f.Form1->close(); });
    guitest::TModalCloser closer(&f.Form2());
    f.Form1->Button3->click();
    QVERIFY(refused);
    QCOMPARE(closer.Closed, 0);
    QVERIFY(!f.Form1->isVisible());
    QVERIFY(!f.Form1->JwwReader);
    QVERIFY(QFile::exists(f.Q(f.File("quillon.dat"))));
  }

  // The list starts with focus and says how many files it holds; Ctrl+A
  // selects them all; a wider window widens the list, not the buttons; the
  // open-file dialog offers the three JW choices in both letter cases.
  void listAndDialogWiring() {
    TForms f;
    f.Show();
    QCOMPARE(f.Form1->focusWidget(), f.Form1->ListBox1);
    QCOMPARE(f.Form1->FileCountLabel->text(), QStringLiteral("0 ファイル"));
    f.Form1->DropFiles({f.Touch("a.jww"), f.Touch("b.JWS"), f.Touch("c.jww")});
    QCOMPARE(f.Form1->FileCountLabel->text(), QStringLiteral("3 ファイル"));
    QTest::keyClick(f.Form1->ListBox1, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(SelectedCount(f.Form1->ListBox1), 3);
    QVERIFY(f.Form1->Model.Selected(0) && f.Form1->Model.Selected(2));

    const int panel = f.Form1->Panel1->width(), list = f.Form1->ListBox1->width();
    f.Form1->resize(f.Form1->width() + 100, f.Form1->height());
    QTRY_COMPARE(f.Form1->ListBox1->width(), list + 100);
    QCOMPARE(f.Form1->Panel1->width(), panel);

    TForm1 plain;  // with its own dialog
    QStringList filters;
    QString at;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      at = dialog->directory().absolutePath();
      dialog->reject();
    });
    QVERIFY(!plain.OpenDialog1(f.Dir.path()).has_value());
    QCOMPARE(filters,
             (QStringList{QStringLiteral("JW 図面・図形ファイル (*.jww *.jws *.JWW *.JWS)"),
                          QStringLiteral("JW 図面ファイル (*.jww *.JWW)"),
                          QStringLiteral("JW 図形ファイル (*.jws *.JWS)")}));
    QCOMPARE(at, QDir(f.Dir.path()).absolutePath());
  }

  // The folder button adds a folder's files in path order; Delete deletes.
  void folderAndDeleteKey() {
    TForms f;
    f.Show();
    QVERIFY(QDir(f.Dir.path()).mkpath("in/sub"));
    const std::string b = f.Touch("in/sub/b.JWS"), a = f.Touch("in/a.jww");
    f.Touch("in/c.txt");
    f.Form1->FolderDialog = [&](const QString&) { return std::optional(f.Dir.filePath("in")); };
    QTest::keyClick(f.Form1.get(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(f.Form1->ListPaths(), (std::vector<std::string>{a, b}));
    QCOMPARE(f.Form1->Model.LastFolder, f.File("in") + "/");
    f.Form1->ListBox1->setCurrentRow(0);
    f.Form1->ListBox1->setFocus();
    QTest::keyClick(f.Form1->ListBox1, Qt::Key_Delete);
    QCOMPARE(f.Form1->ListPaths(), std::vector<std::string>{b});
  }
};

QTEST_MAIN(TForm1Test)
#include "form1_test.moc"
