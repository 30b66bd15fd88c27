#include "qt/mainwindow.h"
#include "qt/designfont.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/filelist.h"
#include "app/layout.h"
#include "jws/jwsunit.h"
#include "jww/jwwtype.h"
#include "jww/jwwunit.h"
#include "qt/problemlist.h"
#include "qt/resultswindow.h"
#include "text/paths.h"
#include "text/sjis.h"

namespace {

constexpr int StatusBarHeight = 19;
constexpr int AssumedTitleHeight = 30;

QPushButton* MakeButton(const QString& Caption, int Top, QWidget* Parent) {
  auto* b = new QPushButton(Caption, Parent);
  b->setGeometry(8, Top, 75, 25);
  b->setAutoDefault(false);
  return b;
}

std::string Native(const QString& Path) {
  return QFile::encodeName(Path).toStdString();
}

std::optional<QStringList> ShowOpenDialog(QWidget* Parent, const QString& StartFolder) {
  QFileDialog dialog(Parent);
  QStringList filters;
  for (const std::string& f : SpacedFileFilters()) filters << QString::fromStdString(f);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  dialog.setSizeGripEnabled(true);
  if (!StartFolder.isEmpty()) dialog.setDirectory(StartFolder);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFiles();
}

std::optional<QString> ShowFolderDialog(QWidget* Parent, const QString& StartFolder) {
  const QString folder = QFileDialog::getExistingDirectory(
      Parent, QStringLiteral("追加するフォルダー"), StartFolder, QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

std::vector<TRect> AvailableScreens() {
  std::vector<TRect> out;
  for (const QScreen* s : QGuiApplication::screens()) {
    const QRect r = s->availableGeometry();
    out.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  return out;
}

// Draws each entry in the list's width, so a long path is elided in the
// middle and its file name stays visible (instead of scrolling sideways).
class TElidingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    return {1, QStyledItemDelegate::sizeHint(Option, Index).height()};
  }
};

QAction* AddShortcut(QWidget* Owner, const QKeySequence& Key, Qt::ShortcutContext Context) {
  auto* a = new QAction(Owner);
  a->setShortcut(Key);
  a->setShortcutContext(Context);
  Owner->addAction(a);
  return a;
}

}  // namespace

TForm1::TForm1(QWidget* Parent) : QMainWindow(Parent) {
  setWindowTitle(QStringLiteral("Quillon"));
  setFont(DesignFont());

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  Panel3 = new QWidget(central);
  Panel3->setFixedHeight(20);
  Label1 = new QLabel(QStringLiteral("検索するJWファイル名"), Panel3);
  Label1->move(8, 4);
  Label1->adjustSize();
  column->addWidget(Panel3);

  Panel2 = new QWidget(central);
  auto* row = new QVBoxLayout(Panel2);
  row->setContentsMargins(0, 0, 0, 0);
  Splitter1 = new QSplitter(Qt::Horizontal, Panel2);
  Splitter1->setHandleWidth(MainSplitterWidth);
  Splitter1->setChildrenCollapsible(false);
  // The list with its count under it.
  auto* listSide = new QWidget(Splitter1);
  auto* listColumn = new QVBoxLayout(listSide);
  listColumn->setContentsMargins(0, 0, 0, 0);
  listColumn->setSpacing(1);
  ListBox1 = new QListWidget(listSide);
  listColumn->addWidget(ListBox1, 1);
  FileCountLabel = new QLabel(listSide);
  FileCountLabel->setContentsMargins(4, 0, 4, 1);
  // The narrowest list (MinListWidth) cuts the count rather than widening.
  FileCountLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  listColumn->addWidget(FileCountLabel);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->setMinimumWidth(MinListWidth);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setTextElideMode(Qt::ElideMiddle);
  ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListBox1->setItemDelegate(new TElidingDelegate(ListBox1));
  // Each entry's tooltip is asked of the model when it is about to show.
  ListBox1->viewport()->installEventFilter(this);
  connect(AddShortcut(ListBox1, QKeySequence::Delete, Qt::WidgetShortcut), &QAction::triggered,
          this, [this] { Button2Click(); });
  connect(AddShortcut(ListBox1, QKeySequence::SelectAll, Qt::WidgetShortcut), &QAction::triggered,
          this, [this] { Model.SelectAll(); });
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { SelectionFromList(); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { SelectionFromList(); });
  Panel1 = new QWidget(Splitter1);
  Panel1->setMinimumWidth(ButtonPanelWidth);
  Splitter1->addWidget(listSide);
  Splitter1->addWidget(Panel1);
  // A wider window widens the list; the buttons keep their panel.
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  row->addWidget(Splitter1);
  column->addWidget(Panel2, 1);
  setCentralWidget(central);

  Button1 = MakeButton(QStringLiteral("追加(&A)"), 8, Panel1);
  Button2 = MakeButton(QStringLiteral("削除(&D)"), 40, Panel1);
  Button3 = MakeButton(QStringLiteral("検索(&S)"), 96, Panel1);
  Button4 = MakeButton(QStringLiteral("終了(&X)"), 144, Panel1);
  FolderButton = MakeButton(QStringLiteral("フォルダ(&F)"), 68, Panel1);
  FolderButton->resize(88, 25);  // the caption is longer than the others
  // Tab goes as the screen reads: the list, then the buttons top down.
  setTabOrder(ListBox1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, FolderButton);
  setTabOrder(FolderButton, Button3);
  setTabOrder(Button3, Button4);
  connect(FolderButton, &QPushButton::clicked, this, [this] { FolderButtonClick(); });
  connect(AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_D), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { FolderButtonClick(); });
  connect(AddShortcut(this, QKeySequence(Qt::Key_Escape), Qt::WindowShortcut), &QAction::triggered,
          this, [this] { StopClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setFixedHeight(StatusBarHeight);
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setMaximumWidth(80);
  ProgressBar1->setMaximumHeight(StatusBarHeight - 4);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  StatusBar1->addPermanentWidget(ProgressBar1);
  StopButton = new QPushButton(QStringLiteral("中止"), StatusBar1);
  StopButton->setMaximumHeight(StatusBarHeight - 2);
  StopButton->setToolTip(QStringLiteral("今のファイルの後で検索を止めます（Esc）"));
  StopButton->hide();
  StatusBar1->addPermanentWidget(StopButton);
  connect(StopButton, &QPushButton::clicked, this, [this] { StopClick(); });
  setStatusBar(StatusBar1);
  StatusBar1->installEventFilter(this);
  StateChanged();

  OpenDialog1 = [this](const QString& StartFolder) { return ShowOpenDialog(this, StartFolder); };
  FolderDialog = [this](const QString& StartFolder) { return ShowFolderDialog(this, StartFolder); };
  Screens = AvailableScreens;

  const TWindowLayout design;
  setMinimumSize(MinMainWidth, MinMainHeight);
  setGeometry(design.Main.Left, design.Main.Top, design.Main.Width, design.Main.Height);
  SetListWidth(design.ListWidth);
}

TForm1::~TForm1() = default;

std::string TForm1::ExePath() {
  return Native(QCoreApplication::applicationFilePath());
}

std::string TForm1::DefaultLayoutFile(const std::string& Exe) {
#ifdef _WIN32
  if (QFileInfo(ShownPath(ExtractFolder(Exe))).isWritable()) return LayoutFileFor(Exe, true, {});
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(config);
  return LayoutFileFor(Exe, false, Native(config));
#else
  (void)Exe;  // a program here never writes beside itself
  const std::string file =
      UserLayoutFile(qgetenv("XDG_CONFIG_HOME").toStdString(), Native(QDir::homePath()));
  if (!file.empty()) QDir().mkpath(ShownPath(ExtractFolder(file)));
  return file;
#endif
}

void TForm1::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (!Shown) {
    Shown = true;
    FormShow();
  }
}

void TForm1::FormShow() {
  Model.ExeFolder = ExtractFolder(ExePath());
  if (Model.LayoutFile.empty()) Model.LayoutFile = DefaultLayoutFile(ExePath());
  Model.Results = Form2 ? &Form2->Results : nullptr;
  LoadLayout();
  ClearImageTable();
  JwwReader = std::make_unique<TJwwData>();
  JwsReader = std::make_unique<TJwsData>();
  setAcceptDrops(true);
  if (Form2) {
    Form2->SetRowCount(2);
    for (int c = 0; c < 3; ++c) {
      Form2->SetCell(c, 0, ResultHeader[c]);
      Form2->SetCell(c, 1, std::string());
    }
  }
  Model.AddCommandLine(InitialFiles);
  ListChanged();  // the count under the list, also when it is empty
  ListBox1->setFocus();
}

void TForm1::closeEvent(QCloseEvent* Event) {
  // Closing in the middle of a run would free the readers under it: the run
  // stops first, and the model closes the window once it has.
  if (!Model.RequestClose()) {
    Event->ignore();
    return;
  }
  if (Shown && !Closed) {
    Closed = true;
    FormClose();
  }
  Event->accept();
}

void TForm1::FormClose() {
  ClearImageTable();
  JwwReader.reset();
  JwsReader.reset();
  SaveLayout();
}

void TForm1::Button3Click() {
  if (JwwReader && JwsReader) Model.Search(*JwwReader, *JwsReader);
}

void TForm1::Button4Click() {
  if (Model.CanClose()) close();
}

void TForm1::CloseWindow() {
  close();
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == ListBox1->viewport() && Event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(Event);
    const int row = ListBox1->indexAt(help->pos()).row();
    if (row < 0) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), QString::fromStdString(Model.EntryTip(row)),
                         ListBox1->viewport(), ListBox1->visualItemRect(ListBox1->item(row)));
    }
    return true;
  }
  if (Watched == StatusBar1 && Event->type() == QEvent::MouseButtonRelease &&
      Model.StatusClickable()) {
    ShowRejected();
    return true;
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::ShowRejected() {
  if (Model.Rejected().empty()) return;
  TProblemList list(this, QStringLiteral("追加できなかったもの"), ListedProblems(Model.Rejected()));
  if (OnProblemList) OnProblemList(list);
  list.exec();
}

void TForm1::dragEnterEvent(QDragEnterEvent* Event) {
  if (Model.ButtonsEnabled() && Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* Event) {
  if (Model.ButtonsEnabled() && Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* Event) {
  if (!Model.ButtonsEnabled() || !Event->mimeData()->hasUrls()) {
    Event->ignore();
    return;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : Event->mimeData()->urls()) {
    paths.push_back(url.isLocalFile() ? Native(url.toLocalFile()) : std::string());
  }
  Model.Drop(paths);
  Event->acceptProposedAction();
}

QString TForm1::StatusText() const {
  return StatusBar1->currentMessage();
}

int TForm1::ListWidth() const {
  return ListBox1->width();
}

void TForm1::SetListWidth(int Width) {
  // The panel of buttons takes whatever the list leaves. The splitter spans
  // the window, also before it is first laid out (when its sizes are not
  // known yet and a wider window would widen the list).
  const int total = width() - MainSplitterWidth;
  Splitter1->setSizes({Width, std::max(total - Width, 1)});
}

// The list's selection and current line, as the user leaves them.
void TForm1::SelectionFromList() {
  if (Mirroring) return;
  std::vector<int> selected;
  for (int i = 0; i < ListBox1->count(); ++i) {
    if (ListBox1->item(i)->isSelected()) selected.push_back(i);
  }
  Model.SetSelection(selected, ListBox1->currentRow());
}

void TForm1::DrawEntry(int Index) {
  QListWidgetItem* item = ListBox1->item(Index);
  if (!item) return;
  if (item->isSelected() != Model.Selected(Index)) item->setSelected(Model.Selected(Index));
  // Only a marked entry has an icon; the others are left alone, so that
  // drawing thousands of entries costs no change each.
  const TFileOutcome* mark = Model.Mark(Index);
  const int kind = mark ? (mark->Failed() ? 2 : 1) : 0;
  if (item->data(Qt::UserRole).toInt() == kind) return;
  item->setData(Qt::UserRole, kind);
  item->setIcon(mark ? style()->standardIcon(mark->Failed() ? QStyle::SP_MessageBoxCritical
                                                            : QStyle::SP_MessageBoxWarning)
                     : QIcon());
}

void TForm1::SelectionToList() {
  QItemSelection selection;
  const int n = Model.Count();
  for (int i = 0; i < n;) {
    if (!Model.Selected(i)) {
      ++i;
      continue;
    }
    int last = i;
    while (last + 1 < n && Model.Selected(last + 1)) ++last;
    selection.select(ListBox1->model()->index(i, 0), ListBox1->model()->index(last, 0));
    i = last + 1;
  }
  ListBox1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (ListBox1->currentRow() != Model.CurrentLine())
    ListBox1->setCurrentRow(Model.CurrentLine(), QItemSelectionModel::NoUpdate);
}

// The model's view.

// Changed entries are replaced in two steps whatever their number: the
// entries from the first that differs are removed at once and the model's
// inserted at once, then the selection is set as one range set.
void TForm1::ListChanged() {
  Mirroring = true;
  ListBox1->setUpdatesEnabled(false);
  const int n = Model.Count();
  const int had = ListBox1->count();
  int same = 0;
  while (same < n && same < had && ListBox1->item(same)->text() == ShownPath(Model.ListEntry(same)))
    ++same;
  if (same < had) ListBox1->model()->removeRows(same, had - same);
  QStringList added;
  added.reserve(n - same);
  for (int i = same; i < n; ++i) added << ShownPath(Model.ListEntry(i));
  ListBox1->insertItems(same, added);
  for (int i = 0; i < n; ++i) {
    if (Model.Mark(i) || ListBox1->item(i)->data(Qt::UserRole).toInt() != 0) DrawEntry(i);
  }
  SelectionToList();
  FileCountLabel->setText(QString::fromStdString(Model.FileCountText()));
  ListBox1->setUpdatesEnabled(true);
  Mirroring = false;
}

void TForm1::EntryChanged(int Index) {
  Mirroring = true;
  DrawEntry(Index);
  Mirroring = false;
}

void TForm1::StateChanged() {
  // Busy while a batch of entries is added or deleted.
  if (Model.Working() != WorkCursor) {
    WorkCursor = Model.Working();
    if (WorkCursor)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  StatusBar1->showMessage(QString::fromStdString(Model.StatusText()));
  StatusBar1->setToolTip(QString::fromStdString(Model.StatusTip()));
  StatusBar1->setCursor(Model.StatusClickable() ? Qt::PointingHandCursor : Qt::ArrowCursor);
  if (Model.Running() != testAttribute(Qt::WA_SetCursor)) {
    if (Model.Running())
      setCursor(Qt::BusyCursor);
    else
      unsetCursor();
  }
  for (QPushButton* b : {Button1, Button2, Button3, Button4, FolderButton})
    b->setEnabled(Model.ButtonsEnabled());
  StopButton->setEnabled(Model.StopEnabled());
  StopButton->setVisible(Model.StopVisible());
  ProgressBar1->setVisible(Model.ProgressVisible());
  ProgressBar1->setRange(0, Model.ProgressTotal());
  ProgressBar1->setValue(Model.ProgressDone());
}

void TForm1::ProcessMessages() {
  QCoreApplication::processEvents();
}

std::optional<std::vector<std::string>> TForm1::AskFiles(const std::string& StartFolder) {
  if (!OpenDialog1) return std::nullopt;
  const std::optional<QStringList> chosen = OpenDialog1(ShownPath(StartFolder));
  if (!chosen) return std::nullopt;
  std::vector<std::string> out;
  for (const QString& path : *chosen) out.push_back(Native(path));
  return out;
}

std::optional<std::string> TForm1::AskFolder(const std::string& StartFolder) {
  if (!FolderDialog) return std::nullopt;
  const std::optional<QString> chosen = FolderDialog(ShownPath(StartFolder));
  if (!chosen) return std::nullopt;
  return Native(*chosen);
}

void TForm1::ShowResults() {
  if (!Form2) return;
  if (ResultsMaximized) Form2->setWindowState(Form2->windowState() | Qt::WindowMaximized);
  Form2->exec();
}

// Layout file.

// Positions and sizes are those of the client area (geometry()), read and
// applied alike: the window manager's frame, which is not known yet when the
// layout is applied (before the window is first mapped), cannot shift a
// window on every start.

namespace {

// The client area a window returns to from maximised.
QRect NormalArea(const QWidget* W) {
  return W->isMaximized() && W->normalGeometry().isValid() ? W->normalGeometry() : W->geometry();
}

}  // namespace

void TForm1::LoadLayout() {
  if (const std::optional<TWindowLayout> layout = Model.LoadLayout(WindowLayout()))
    ApplyWindowLayout(*layout);
}

TWindowLayout TForm1::WindowLayout() const {
  TWindowLayout layout;
  const QRect main = NormalArea(this);
  layout.Main = {main.x(), main.y(), main.width(), main.height()};
  layout.ListWidth = ListWidth();
  layout.MainMaximized = isMaximized();
  layout.ResultsMaximized = ResultsMaximized;
  if (Form2) {
    const QRect results = NormalArea(Form2);
    layout.Results = {results.x(), results.y(), results.width(), results.height()};
    for (int c = 0; c < 3; ++c) layout.Columns[static_cast<size_t>(c)] = Form2->ColWidth(c);
    layout.ResultsMaximized = (Form2->windowState() & Qt::WindowMaximized) != 0;
    layout.Preview = Form2->Results.PreviewSplit();
    layout.Thumbnails = Form2->Results.ThumbnailPlace();
    layout.TextsColumn = Form2->TextsColumnShown();
    layout.SameColumn = Form2->SameColumnShown();
  }
  return layout;
}

// Qt's coordinates are logical pixels already: the layout applies as it is.
void TForm1::ApplyWindowLayout(const TWindowLayout& Layout) {
  const TRect& m = Layout.Main;
  setGeometry(m.Left, m.Top, m.Width, m.Height);
  SetListWidth(Layout.ListWidth);
  if (Form2) {
    const TRect& r = Layout.Results;
    Form2->setGeometry(r.Left, r.Top, r.Width, r.Height);
    for (int c = 0; c < 3; ++c) Form2->SetColWidth(c, Layout.Columns[static_cast<size_t>(c)]);
    Form2->Results.SetPreviewSplit(Layout.Preview);
    Form2->Results.SetThumbnailPlace(Layout.Thumbnails);
    Form2->SetTextsColumnShown(Layout.TextsColumn);
    Form2->SetSameColumnShown(Layout.SameColumn);
  }
  PlaceWindows();
  ResultsMaximized = Layout.ResultsMaximized;
  if (Layout.MainMaximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::PlaceWindows() {
  if (!Screens) return;
  const std::vector<TRect> screens = Screens();
  for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(Form2)}) {
    if (!w) continue;
    // The title bar above the client area must be reachable too.
    const QRect area = w->geometry();
    // Before the window is first mapped its frame is not known yet: a title
    // bar of usual height is assumed above the client area.
    const QPoint known = area.topLeft() - w->pos();
    const QPoint frame(known.x(), std::max(known.y(), AssumedTitleHeight));
    const TRect outer = {area.x() - frame.x(), area.y() - frame.y(), area.width() + 2 * frame.x(),
                         area.height() + frame.y() + frame.x()};
    const TRect placed = PlaceOnScreens(outer, screens);
    if (placed != outer)
      w->setGeometry(area.x() + placed.Left - outer.Left, area.y() + placed.Top - outer.Top,
                     area.width() + placed.Width - outer.Width,
                     area.height() + placed.Height - outer.Height);
  }
}

void TForm1::SaveLayout() {
  Model.SaveLayout(WindowLayout());
}
