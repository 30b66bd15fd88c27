#include "qt/mainwindow.h"
#include "qt/designfont.h"

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
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/filelist.h"
#include "app/layout.h"
#include "jws/jwsunit.h"
#include "jww/jwwtype.h"
#include "jww/jwwunit.h"
#include "qt/resultswindow.h"
#include "text/paths.h"
#include "text/sjis.h"

namespace {

constexpr int DesignLeft = 192;
constexpr int DesignTop = 107;
constexpr int DesignWidth = 280;
constexpr int DesignHeight = 245;
constexpr int DesignListWidth = 176;
constexpr int SplitterWidth = 3;
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
  const QStringList filters = {QStringLiteral("JWW Files(*.jww)"),
                               QStringLiteral("JWS Files(*.jws)"),
                               QStringLiteral("JW Files(*.jw*)")};
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
  Splitter1->setHandleWidth(SplitterWidth);
  Splitter1->setChildrenCollapsible(false);
  ListBox1 = new QListWidget(Splitter1);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->setMinimumWidth(MinListWidth);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setTextElideMode(Qt::ElideMiddle);
  ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListBox1->setItemDelegate(new TElidingDelegate(ListBox1));
  connect(AddShortcut(ListBox1, QKeySequence::Delete, Qt::WidgetShortcut), &QAction::triggered,
          this, [this] { Button2Click(); });
  Panel1 = new QWidget(Splitter1);
  Panel1->setMinimumWidth(0);
  Splitter1->addWidget(ListBox1);
  Splitter1->addWidget(Panel1);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  row->addWidget(Splitter1);
  column->addWidget(Panel2, 1);
  setCentralWidget(central);

  Button1 = MakeButton(QStringLiteral("追加(&A)"), 8, Panel1);
  Button2 = MakeButton(QStringLiteral("削除(&D)"), 40, Panel1);
  Button3 = MakeButton(QStringLiteral("検索(&S)"), 96, Panel1);
  Button4 = MakeButton(QStringLiteral("終了(&X)"), 144, Panel1);
  Button5 = MakeButton(QStringLiteral("フォルダ(&F)"), 68, Panel1);
  Button5->resize(88, 25);  // the caption is longer than the others
  setTabOrder(Button2, Button5);
  setTabOrder(Button5, Button3);
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_D), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { Button5Click(); });
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
  SetStatusText(IdlePrompt);

  OpenDialog1 = [this](const QString& StartFolder) { return ShowOpenDialog(this, StartFolder); };
  FolderDialog = [this](const QString& StartFolder) { return ShowFolderDialog(this, StartFolder); };
  Screens = AvailableScreens;

  setGeometry(DesignLeft, DesignTop, DesignWidth, DesignHeight);
  SetListWidth(DesignListWidth);
}

TForm1::~TForm1() = default;

std::string TForm1::ExePath() {
  return Native(QCoreApplication::applicationFilePath());
}

std::string TForm1::DefaultLayoutFile(const std::string& Exe) {
  const std::string beside = ReplaceExt(Exe, ".dat");
  if (QFileInfo(ShownPath(ExtractFolder(Exe))).isWritable()) return beside;
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(config);
  return Native(config) + "/" + ExtractName(beside);
}

void TForm1::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (!Shown) {
    Shown = true;
    FormShow();
  }
}

void TForm1::FormShow() {
  ExeFolder = ExtractFolder(ExePath());
  if (LayoutFile.empty()) LayoutFile = DefaultLayoutFile(ExePath());
  LoadLayout(LayoutFile);
  ClearImageTable();
  JwwReader = std::make_unique<TJwwData>();
  JwsReader = std::make_unique<TJwsData>();
  ListBox1->clear();
  setAcceptDrops(true);
  if (Form2) {
    Form2->SetRowCount(2);
    for (int c = 0; c < 3; ++c) {
      Form2->SetCell(c, 0, ResultHeader[c]);
      Form2->SetCell(c, 1, std::string());
    }
  }
  DropFiles(InitialFiles);
}

void TForm1::closeEvent(QCloseEvent* Event) {
  // Closing in the middle of a run would free the readers under it.
  if (Running) {
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
  SaveLayout(LayoutFile);
}

bool TForm1::AddFile(const std::string& Path) {
  if (!AcceptsFile(Path)) return false;
  auto* item = new QListWidgetItem(ShownPath(Path));
  item->setData(Qt::UserRole, QByteArray::fromStdString(Path));
  item->setToolTip(ShownPath(Path));
  ListBox1->addItem(item);
  return true;
}

void TForm1::Button1Click() {
  if (Running || !OpenDialog1) return;
  const std::optional<QStringList> chosen = OpenDialog1(ShownPath(LastFolder));
  if (!chosen || chosen->isEmpty()) return;
  LastFolder = ExtractFolder(Native(chosen->first()));
  for (const QString& path : *chosen) AddFile(Native(path));
}

void TForm1::DropFiles(const std::vector<std::string>& Paths) {
  if (Running) return;
  for (const std::string& path : Paths) AddFile(path);
}

void TForm1::Button2Click() {
  if (Running) return;
  if (ListBox1->count() == 0 || ListBox1->currentRow() < 0) return;
  for (int i = ListBox1->count() - 1; i >= 0; --i) {
    if (ListBox1->item(i)->isSelected()) delete ListBox1->takeItem(i);
  }
}

void TForm1::Button3Click() {
  if (Running || !JwwReader || !JwsReader) return;
  if (ListBox1->count() > 0) ClearMarks();
  SetBusy(true);
  RunBlockSearch(*this, *JwwReader, *JwsReader);
  SetBusy(false);
}

void TForm1::Button4Click() {
  if (Running) return;
  close();
}

void TForm1::Button5Click() {
  if (Running || !FolderDialog) return;
  const std::optional<QString> chosen = FolderDialog(ShownPath(LastFolder));
  if (!chosen || chosen->isEmpty()) return;
  std::string folder = Native(*chosen);
  for (const std::string& path : FilesOfFolder(folder)) AddFile(path);
  if (folder.back() != '/') folder += '/';
  LastFolder = folder;
}

void TForm1::StopClick() {
  if (!Running) return;
  StopAsked = true;
  StopButton->setEnabled(false);
  SetStatusText("中止します…");
}

void TForm1::SetBusy(bool Busy) {
  Running = Busy;
  StopAsked = false;
  for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5}) b->setEnabled(!Busy);
  StopButton->setEnabled(true);
  StopButton->setVisible(Busy && ListBox1->count() > 0);
  if (Busy && ListBox1->count() > 0) {
    ProgressBar1->setRange(0, ListBox1->count());
    ProgressBar1->setValue(0);
    ProgressBar1->show();
  } else {
    ProgressBar1->hide();
  }
}

void TForm1::dragEnterEvent(QDragEnterEvent* Event) {
  if (!Running && Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* Event) {
  if (!Running && Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* Event) {
  if (Running || !Event->mimeData()->hasUrls()) {
    Event->ignore();
    return;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : Event->mimeData()->urls()) {
    paths.push_back(url.isLocalFile() ? Native(url.toLocalFile()) : std::string());
  }
  DropFiles(paths);
  Event->acceptProposedAction();
}

std::vector<std::string> TForm1::ListPaths() const {
  std::vector<std::string> out;
  for (int i = 0; i < ListBox1->count(); ++i) {
    out.push_back(ListBox1->item(i)->data(Qt::UserRole).toByteArray().toStdString());
  }
  return out;
}

QString TForm1::StatusText() const {
  return StatusBar1->currentMessage();
}

int TForm1::ListWidth() const {
  return ListBox1->width();
}

void TForm1::SetListWidth(int Width) {
  // The panel of buttons takes whatever the list leaves.
  QList<int> sizes = Splitter1->sizes();
  int total = 0;
  for (int s : sizes) total += s;
  Splitter1->setSizes({Width, std::max(total - Width, 1)});
}

// Layout file.

// Positions and sizes are those of the client area (geometry()), read and
// applied alike: the window manager's frame, which is not known yet when the
// layout is applied (before the window is first mapped), cannot shift a
// window on every start.

namespace {

void SetLeft(QWidget* W, int V) {
  W->setGeometry(V, W->geometry().y(), W->width(), W->height());
}
void SetTop(QWidget* W, int V) {
  W->setGeometry(W->geometry().x(), V, W->width(), W->height());
}

// The client area a window returns to from maximised.
QRect NormalArea(const QWidget* W) {
  return W->isMaximized() && W->normalGeometry().isValid() ? W->normalGeometry() : W->geometry();
}

}  // namespace

void TForm1::LoadLayout(const std::string& Path) {
  LastFolder = ExeFolder;
  if (!IsExistingFile(Path)) return;
  const std::vector<std::string> lines = ReadLayoutLines(Path);
  for (size_t i = 0; i < lines.size(); ++i) ApplyLayoutLine(static_cast<int>(i) + 1, lines[i]);
  PlaceWindows();
  const auto extras = ReadLayoutExtras(Path);
  ResultsMaximized = LayoutExtra(extras, LayoutResultMaximized) == "1";
  const std::string preview = LayoutExtra(extras, LayoutPreviewWidth);
  if (Form2 && !preview.empty()) Form2->SetPreviewWidth(std::max(TextToInt(preview), 0));
  if (LayoutExtra(extras, LayoutMainMaximized) == "1") {
    setWindowState(windowState() | Qt::WindowMaximized);
  }
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
      w->setGeometry(area.translated(placed.Left - outer.Left, placed.Top - outer.Top));
  }
}

void TForm1::ApplyLayoutLine(int Line, const std::string& Text) {
  if (Line == LayoutLastFolder) {
    LastFolder = Text;
    return;
  }
  const int v = LayoutNumber(Line, Text);
  switch (Line) {
    case LayoutMainLeft:
      SetLeft(this, v);
      break;
    case LayoutMainTop:
      SetTop(this, v);
      break;
    case LayoutMainWidth:
      resize(v, height());
      break;
    case LayoutMainHeight:
      resize(width(), v);
      break;
    case LayoutListWidth:
      SetListWidth(v);
      break;
    default:
      break;
  }
  if (!Form2) return;
  switch (Line) {
    case LayoutResultLeft:
      SetLeft(Form2, v);
      break;
    case LayoutResultTop:
      SetTop(Form2, v);
      break;
    case LayoutResultWidth:
      Form2->resize(v, Form2->height());
      break;
    case LayoutResultHeight:
      Form2->resize(Form2->width(), v);
      break;
    case LayoutColumn0:
      Form2->SetColWidth(0, v);
      break;
    case LayoutColumn1:
      Form2->SetColWidth(1, v);
      break;
    case LayoutColumn2:
      Form2->SetColWidth(2, v);
      break;
    default:
      break;
  }
}

void TForm1::SaveLayout(const std::string& Path) {
  TLayoutValues values;
  const QRect main = NormalArea(this);
  values.Numbers = {main.x(), main.y(), main.width(), main.height(), ListWidth(), 0, 0, 0, 0, 0,
                    0,        0};
  if (Form2) {
    const QRect results = NormalArea(Form2);
    values.Numbers[5] = results.x();
    values.Numbers[6] = results.y();
    values.Numbers[7] = results.width();
    values.Numbers[8] = results.height();
    for (int c = 0; c < 3; ++c) values.Numbers[static_cast<size_t>(9 + c)] = Form2->ColWidth(c);
  }
  values.LastFolder = LastFolder;
  values.Extras = {{std::string(LayoutMainMaximized), isMaximized() ? "1" : "0"},
                   {std::string(LayoutResultMaximized),
                    Form2 && (Form2->windowState() & Qt::WindowMaximized) ? "1" : "0"}};
  if (Form2)
    values.Extras.push_back(
        {std::string(LayoutPreviewWidth), std::to_string(Form2->PreviewWidth())});
  WriteLayoutFile(Path, FormatLayout(values));
}

// The window layer of the search run.

int TForm1::ListCount() {
  return ListBox1->count();
}

std::string TForm1::ListEntry(int Index) {
  QListWidgetItem* item = ListBox1->item(Index);
  return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

void TForm1::ClearSelection() {
  ListBox1->clearSelection();
}

void TForm1::SetSelected(int Index, bool Selected) {
  if (QListWidgetItem* item = ListBox1->item(Index)) item->setSelected(Selected);
  ProgressBar1->setValue(Selected ? Index : Index + 1);
}

void TForm1::SetStatusText(const std::string& Utf8) {
  StatusBar1->showMessage(QString::fromStdString(Utf8));
}

void TForm1::ProcessMessages() {
  QCoreApplication::processEvents();
}

void TForm1::SetCell(int Col, int Row, const std::string& Text) {
  if (Form2) Form2->SetCell(Col, Row, Text);
}

void TForm1::SetRowCount(int Rows) {
  if (Form2) Form2->SetRowCount(Rows);
}

void TForm1::ShowResults() {
  ProgressBar1->hide();
  StopButton->hide();
  if (!Form2) return;
  if (ResultsMaximized) Form2->setWindowState(Form2->windowState() | Qt::WindowMaximized);
  Form2->exec();
}

void TForm1::ClearMarks() {
  for (int i = 0; i < ListBox1->count(); ++i) {
    QListWidgetItem* item = ListBox1->item(i);
    item->setIcon(QIcon());
    item->setToolTip(item->text());
  }
  Problems.clear();
}

void TForm1::FileDone(int Index, const TFileOutcome& Outcome) {
  if (!Outcome.Noteworthy()) return;
  const std::string path = ListEntry(Index);
  Problems.push_back({path, Outcome});
  if (QListWidgetItem* item = ListBox1->item(Index)) {
    item->setIcon(style()->standardIcon(Outcome.Failed() ? QStyle::SP_MessageBoxCritical
                                                         : QStyle::SP_MessageBoxWarning));
    item->setToolTip(ShownPath(path) + QLatin1Char('\n') +
                     QString::fromStdString(DescribeOutcomeJa(Outcome)));
  }
}

bool TForm1::StopRequested() {
  return StopAsked;
}

void TForm1::RunFinished(const TRunSummary& Summary) {
  if (Form2) Form2->SetReport(Summary, Problems);
}
