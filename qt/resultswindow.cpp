#include "qt/resultswindow.h"
#include "qt/designfont.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/layout.h"
#include "app/preview.h"
#include "qt/previewpane.h"
#include "qt/problemlist.h"
#include "qt/resultmodel.h"
#include "qt/thumbnailview.h"
#include "text/paths.h"

namespace {

const TWindowLayout Design;
constexpr int DefaultColWidth = 120;
// The column of the texts inside each block, when shown.
// Narrow enough for every width the layout file can restore.
constexpr int MinSectionSize = 8;

QAction* AddAction(QWidget* Owner, const QString& Text, const QKeySequence& Key,
                   Qt::ShortcutContext Context) {
  auto* a = new QAction(Text, Owner);
  a->setShortcut(Key);
  a->setShortcutContext(Context);
  Owner->addAction(a);
  return a;
}

}  // namespace

namespace {

// Opens Url with the desktop's opener. On Linux xdg-open is run here rather
// than through QDesktopServices, which leaves its failure on stderr: a
// failure to start it or an error status calls Failed.
void OpenUrl(const QUrl& Url, const std::function<void()>& Failed) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // Not owned by a window: the opened program must outlive Quillon.
  auto* opener = new QProcess();
  QObject::connect(opener, &QProcess::finished,
                   [opener, Failed](int Code, QProcess::ExitStatus How) {
                     if (How != QProcess::NormalExit || Code != 0) Failed();
                     opener->deleteLater();
                   });
  QObject::connect(opener, &QProcess::errorOccurred,
                   [opener, Failed](QProcess::ProcessError Error) {
                     if (Error != QProcess::FailedToStart) return;
                     Failed();
                     opener->deleteLater();
                   });
  opener->start(QStringLiteral("xdg-open"), {Url.toString(QUrl::FullyEncoded)});
#else
  if (!QDesktopServices::openUrl(Url)) Failed();
#endif
}

}  // namespace

void OpenFileWith(TOpenAction Action, const std::string& Path,
                  const std::function<void()>& Failed) {
  const QString path = ShownPath(Path);
  if (Action == TOpenAction::OpenWithProgram) {
    OpenUrl(QUrl::fromLocalFile(path), Failed);
    return;
  }
  // The file manager selects the file when it offers the freedesktop
  // interface; otherwise its folder is opened.
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"),
      QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QString::fromStdString(FileUri(Path))} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    OpenUrl(QUrl::fromLocalFile(ShownPath(ExtractFolder(Path))), Failed);
  }
}

TForm2::TForm2(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("検索結果"));
  setFont(DesignFont());
  setMinimumSize(MinResultsWidth, MinResultsHeight);

  FilterPanel = new QWidget(this);
  auto* filterRow = new QHBoxLayout(FilterPanel);
  filterRow->setContentsMargins(4, 2, 4, 2);
  FilterLabel = new QLabel(QStringLiteral("絞り込み(&L)："), FilterPanel);
  FilterEdit = new QLineEdit(FilterPanel);
  FilterEdit->setPlaceholderText(QStringLiteral("ブロック名・ファイル名・図形内の文字"));
  FilterEdit->setClearButtonEnabled(true);
  FilterLabel->setBuddy(FilterEdit);
  filterRow->addWidget(FilterLabel);
  filterRow->addWidget(FilterEdit, 1);
  PreviewButton = new QToolButton(FilterPanel);
  PreviewButton->setText(QStringLiteral("プレビュー"));
  PreviewButton->setToolTip(QStringLiteral("プレビューを表示・非表示 (F6)"));
  PreviewButton->setCheckable(true);
  PreviewButton->setChecked(Results.PreviewSplit().Shown);
  filterRow->addWidget(PreviewButton);
  connect(PreviewButton, &QToolButton::clicked, this, [this] { Results.TogglePreview(); });
  connect(AddAction(this, QString(), QKeySequence(Qt::Key_F6), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { Results.TogglePreview(); });
  ThumbnailSlider = new QSlider(Qt::Horizontal, FilterPanel);
  ThumbnailSlider->setRange(MinThumbnailSize, MaxThumbnailSize);
  ThumbnailSlider->setFixedWidth(100);
  ThumbnailSlider->setToolTip(QStringLiteral("サムネイルの大きさ (Ctrl+ホイール)"));
  ThumbnailSlider->setVisible(false);
  filterRow->addWidget(ThumbnailSlider);
  connect(ThumbnailSlider, &QSlider::valueChanged, this,
          [this](int Size) { Results.SetThumbnailSize(Size); });
  ThumbnailButton = new QToolButton(FilterPanel);
  ThumbnailButton->setText(QStringLiteral("サムネイル"));
  ThumbnailButton->setToolTip(QStringLiteral("サムネイルで表示・表で表示 (Ctrl+T)"));
  ThumbnailButton->setCheckable(true);
  filterRow->addWidget(ThumbnailButton);
  connect(ThumbnailButton, &QToolButton::clicked, this, [this] { Results.ToggleThumbnails(); });
  connect(AddAction(this, QString(), QKeySequence(Qt::CTRL | Qt::Key_T), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { Results.ToggleThumbnails(); });
  connect(FilterEdit, &QLineEdit::textChanged, this, [this](const QString& t) { SetFilter(t); });
  connect(AddAction(this, QString(), QKeySequence::Find, Qt::WindowShortcut), &QAction::triggered,
          this, [this] {
            FilterEdit->setFocus();
            FilterEdit->selectAll();
          });

  Model = new TResultModel(Results, this);
  Splitter = new QSplitter(Qt::Horizontal, this);
  Splitter->setChildrenCollapsible(true);
  Views = new QStackedWidget(Splitter);
  SG1 = new QTableView(Views);
  SG1->setObjectName(QStringLiteral("SG1"));
  SG1->setModel(Model);
  SG1->setSelectionBehavior(QAbstractItemView::SelectRows);
  SG1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG1->setShowGrid(true);
  SG1->setWordWrap(false);
  SG1->setTextElideMode(Qt::ElideMiddle);
  SG1->verticalHeader()->hide();
  SG1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SG1->verticalHeader()->setDefaultSectionSize(18);
  SG1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  SG1->horizontalHeader()->setMinimumSectionSize(MinSectionSize);
  SG1->horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
  SG1->horizontalHeader()->setStretchLastSection(false);
  SG1->horizontalHeader()->setHighlightSections(false);
  SG1->horizontalHeader()->setSectionsClickable(true);
  SG1->horizontalHeader()->setSortIndicatorShown(false);
  connect(SG1->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int Col) { Results.HeaderClick(Col); });
  for (int c = 0; c < ResultColCount; ++c)
    SG1->setColumnWidth(c, Design.Columns[static_cast<size_t>(c)]);
  // The header's menu shows or hides the optional columns.
  SG1->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SG1->horizontalHeader(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& At) {
            QMenu menu(this);
            const std::vector<THeaderMenuItem> items = Results.HeaderMenu();
            for (size_t i = 0; i < items.size(); ++i) {
              QAction* toggle = menu.addAction(QString::fromStdString(items[i].Caption));
              toggle->setCheckable(true);
              toggle->setChecked(items[i].Checked);
              connect(toggle, &QAction::triggered, this,
                      [this, i] { Results.HeaderMenuChosen(i); });
            }
            menu.exec(SG1->horizontalHeader()->mapToGlobal(At));
          });
  ColumnsChanged();
  // A divider the user drags sets that column's width; the others follow.
  connect(SG1->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int Col, int, int Width) {
            if (Fitting) return;
            Results.Columns().Dragged(Col, Width);
            FitColumns();
          });
  SG1->setMinimumWidth(MinTableWidth);
  Views->setMinimumWidth(MinTableWidth);
  // The thumbnails show the same rows through the same selection.
  Thumbs = new TThumbnailView(Results, *Model, Views);
  Thumbs->setSelectionModel(SG1->selectionModel());
  Views->addWidget(SG1);
  Views->addWidget(Thumbs);

  CopyAction =
      AddAction(SG1, QStringLiteral("行をコピー(&C)"), QKeySequence::Copy, Qt::WidgetShortcut);
  connect(CopyAction, &QAction::triggered, this, [this] { CopySelection(); });
  connect(AddAction(Thumbs, QString(), QKeySequence::Copy, Qt::WidgetShortcut), &QAction::triggered,
          this, [this] { CopySelection(); });
  OpenFile = [this](TOpenAction Action, const std::string& Path) {
    QPointer<TForm2> self(this);
    OpenFileWith(Action, Path, [self, Action, Path] {
      if (self) self->Results.OpenFailed(Action, Path);
    });
  };
  RowMenu = new QMenu(this);
  for (QAbstractItemView* view : std::initializer_list<QAbstractItemView*>{SG1, Thumbs}) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& At) { ShowRowMenu(view, At); });
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& At) { Results.DoubleClick(At.isValid() ? At.row() : -1); });
  }

  Panel1 = new QWidget(this);
  Panel1->setFixedHeight(23);
  Label1 = new QLabel(QStringLiteral("ブロック名："), Panel1);
  Label1->move(4, 4);
  Label1->adjustSize();
  Edit1 = new QLineEdit(Panel1);
  Edit1->setGeometry(88, 1, 161, 21);
  Button1 = new QPushButton(QStringLiteral("検索"), Panel1);
  Button1->setGeometry(256, 0, 49, 23);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("閉じる(&C)"), Panel1);
  Button2->setGeometry(320, 0, 89, 23);
  Button2->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(AddAction(this, QString(), QKeySequence(Qt::Key_F3), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { Button1->click(); });
  connect(AddAction(this, QString(), QKeySequence(Qt::SHIFT | Qt::Key_F3), Qt::WindowShortcut),
          &QAction::triggered, this, [this] { FindPreviousClick(); });

  // One line of text; a click lists the problem files.
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusText = new QLabel(StatusBar1);
  StatusText->setTextFormat(Qt::PlainText);
  StatusBar1->addWidget(StatusText, 1);
  StatusBar1->setFixedHeight(fontMetrics().height() + 6);
  StatusBar1->installEventFilter(this);
  StatusText->installEventFilter(this);
  // A key or a click anywhere ends a note that waits for one.
  for (QWidget* w : std::initializer_list<QWidget*>{FilterEdit, SG1, SG1->viewport(), Thumbs,
                                                    Thumbs->viewport(), Edit1, Button1, Button2})
    w->installEventFilter(this);

  Preview = new TPreviewPane(Splitter);
  Splitter->addWidget(Views);
  Splitter->addWidget(Preview);
  Splitter->setStretchFactor(0, 1);
  Splitter->setStretchFactor(1, 0);
  Splitter->setCollapsible(0, false);
  Splitter->setCollapsible(1, true);
  const int pane = Results.PreviewSplit().PaneWidth(Design.Results.Width);
  Splitter->setSizes({Design.Results.Width - pane, pane});
  connect(Splitter, &QSplitter::splitterMoved, this, [this] {
    const QList<int> sizes = Splitter->sizes();
    const bool shown = Results.PreviewSplit().Shown;
    Results.PreviewDragged(sizes.value(1), sizes.value(0) + sizes.value(1));
    PreviewButton->setChecked(Results.PreviewSplit().Shown);
    if (shown && !Results.PreviewSplit().Shown) PlacePreview();  // dragged shut
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FilterPanel);
  layout->addWidget(Splitter, 1);
  layout->addWidget(Panel1);
  layout->addWidget(StatusBar1);

  setGeometry(Design.Results.Left, Design.Results.Top, Design.Results.Width, Design.Results.Height);

  // The current row follows the user's clicks and key presses.
  connect(SG1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& Now, const QModelIndex&) {
            if (!Drawing && Now.isValid()) Results.SetCurrentPosition(Now.row());
          });
  CurrentChanged();
}

void TForm2::ShowRowMenu(QAbstractItemView* View, const QPoint& At) {
  RowMenu->clear();
  for (const TRowMenuItem& item : Results.RowMenu(View->indexAt(At).row())) {
    if (item.Action == TRowAction::CopyRows) {
      RowMenu->addAction(CopyAction);
      continue;
    }
    connect(RowMenu->addAction(QString::fromStdString(item.Caption)), &QAction::triggered, this,
            [this, a = item.Action] { Results.RowMenuChosen(a, SelectedPositions()); });
  }
  if (!RowMenu->isEmpty()) RowMenu->popup(View->viewport()->mapToGlobal(At));
}

void TForm2::ThumbnailPlaceChanged() {
  const TThumbnailPlace& place = Results.ThumbnailPlace();
  ThumbnailButton->setChecked(place.Shown);
  ThumbnailSlider->setVisible(place.Shown);
  {
    const QSignalBlocker quiet(ThumbnailSlider);
    ThumbnailSlider->setValue(place.Size);
  }
  Thumbs->SizeChanged();
  QAbstractItemView* shown = place.Shown ? static_cast<QAbstractItemView*>(Thumbs) : SG1;
  const bool focused = Views->currentWidget()->hasFocus();
  Views->setCurrentWidget(shown);
  if (focused) shown->setFocus();
  CurrentChanged();
}

void TForm2::ThumbnailsArrived() {
  // From the worker's thread: taken and drawn on the window's.
  QMetaObject::invokeMethod(
      this,
      [this] {
        Results.TakeThumbnails();
        Thumbs->viewport()->update();
      },
      Qt::QueuedConnection);
}

TForm2::~TForm2() {
  Results.StopPreview();  // no answer arrives after this
}

int TForm2::PreviewWidth() const {
  return Results.PreviewSplit().PaneWidth(width());
}

void TForm2::SetPreviewWidth(int Width) {
  Results.PreviewDragged(Width, width());
  PreviewPlaceChanged();
}

// The splitter spans the window: the pane takes its share of that.
void TForm2::PlacePreview() {
  const int total = width();
  const int pane = Results.PreviewSplit().PaneWidth(total);
  // A hidden pane leaves no handle behind: F6 or the button bring it back.
  Preview->setVisible(Results.PreviewSplit().Shown);
  Splitter->setSizes({std::max(total - pane, 0), pane});
}

void TForm2::PreviewPlaceChanged() {
  PreviewButton->setChecked(Results.PreviewSplit().Shown);
  PlacePreview();
}

void TForm2::resizeEvent(QResizeEvent* Event) {
  QDialog::resizeEvent(Event);
  PlacePreview();
}

void TForm2::FitColumns() {
  Fitting = true;
  Results.Columns().Fit(SG1->viewport()->width());
  for (int c = 0; c < TResultModel::ColCount; ++c) {
    if (Results.Columns().Visible(c)) SG1->setColumnWidth(c, Results.Columns().Drawn(c));
  }
  Fitting = false;
}

bool TForm2::CellTip(const QPoint& Pos, const QPoint& Global) {
  const QModelIndex at = SG1->indexAt(Pos);
  const QString text = at.isValid() ? at.data().toString() : QString();
  const int margin = SG1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, SG1) + 1;
  const QRect cell = SG1->visualRect(at);
  if (text.isEmpty() || SG1->fontMetrics().horizontalAdvance(text) + 2 * margin <= cell.width()) {
    QToolTip::hideText();
    return false;
  }
  QToolTip::showText(Global, text, SG1->viewport(), cell);
  return true;
}

void TForm2::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  PlacePreview();  // now that the splitter has its width
  Results.SetShowing(true);
}

void TForm2::hideEvent(QHideEvent* Event) {
  Results.SetShowing(false);
  QDialog::hideEvent(Event);
}

// The user's width: the one the layout file keeps.
int TForm2::ColWidth(int Col) const {
  return Results.Columns().UserWidth(Col);
}

void TForm2::SetColWidth(int Col, int Width) {
  Results.Columns().SetUserWidth(Col, Width);
  FitColumns();
}

void TForm2::SetFilter(const QString& Text) {
  if (FilterEdit->text() != Text) FilterEdit->setText(Text);  // comes back here
  Results.SetFilter(Text.toStdString());
}

QString TForm2::StatusBarText() const {
  return StatusText->text();
}

bool TForm2::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress || Event->type() == QEvent::MouseButtonPress)
    Results.UserInput();
  if (Watched == SG1->viewport() && Event->type() == QEvent::Resize) FitColumns();
  if (Watched == SG1->viewport() && Event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(Event);
    CellTip(help->pos(), help->globalPos());
    return true;
  }
  // Esc in the filter box clears a filter first; with none it closes.
  if (Watched == FilterEdit && Event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape && Results.FilterEscape()) {
    FilterEdit->clear();
    return true;
  }
  if ((Watched == StatusBar1 || Watched == StatusText) &&
      Event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    ShowProblems();
    return true;
  }
  return QDialog::eventFilter(Watched, Event);
}

void TForm2::ShowProblems() {
  const std::vector<TProblemFile>& problems = Results.Problems();
  if (problems.empty()) return;
  TProblemList list(this, QStringLiteral("読み込めなかったファイル"), ListedProblems(problems));
  list.exec();
}

void TForm2::Button1Click() {
  Results.FindNext(Edit1->text().toStdString());
}

void TForm2::FindPreviousClick() {
  Results.FindPrevious(Edit1->text().toStdString());
}

void TForm2::Button2Click() {
  reject();
}

std::vector<int> TForm2::SelectedPositions() const {
  std::vector<int> at;
  for (const QModelIndex& i : SG1->selectionModel()->selectedRows()) at.push_back(i.row());
  return at;
}

QString TForm2::SelectedRowsText() const {
  return QString::fromStdString(Results.CopiedText(SelectedPositions()));
}

void TForm2::CopySelection() {
  Results.CopyRows(SelectedPositions());
}

// The model's view.

void TForm2::CellsChanged() {
  Model->CellsChanged();
}

void TForm2::RowsChanged() {
  Drawing = true;
  Model->Reset();
  QHeaderView* header = SG1->horizontalHeader();
  const int col = Results.Table().SortColumn();
  const TSortOrder order = Results.SortMark(col);
  header->setSortIndicatorShown(order != TSortOrder::Search);
  header->setSortIndicator(
      col, order == TSortOrder::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  Drawing = false;
}

// Selects the table's current row in the view (a reset dropped the view's
// own selection).
void TForm2::CurrentChanged() {
  Drawing = true;
  const int at = Results.CurrentPosition();
  if (at < 0) {
    SG1->selectionModel()->clearSelection();
  } else {
    const QModelIndex index = Model->index(at, 0);
    SG1->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    SG1->scrollTo(index);
    if (Views->currentWidget() == Thumbs) Thumbs->scrollTo(Model->index(at, BlockNameCol));
  }
  Drawing = false;
}

void TForm2::StatusChanged() {
  StatusText->setText(QString::fromStdString(Results.StatusText()));
  StatusText->setToolTip(QString::fromStdString(Results.StatusTip()));
  StatusText->setCursor(Results.StatusClickable() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TForm2::ColumnsChanged() {
  SG1->setColumnHidden(TextsCol, !Results.TextsColumnShown());
  SG1->setColumnHidden(SameCol, !Results.SameColumnShown());
  FitColumns();
}

void TForm2::ShowPreview(const std::shared_ptr<const TDisplayList>& List) {
  Preview->ShowList(List);
}

void TForm2::ShowPreviewText(const std::string& Utf8) {
  Preview->ShowMessage(QString::fromStdString(Utf8));
}

void TForm2::PreviewArrived() {
  // Handed to the window's thread.
  QMetaObject::invokeMethod(
      this, [this] { Results.TakePreview(); }, Qt::QueuedConnection);
}

void TForm2::StartTimer(int Id, int Milliseconds) {
  QTimer::singleShot(Milliseconds, this, [this, Id] { Results.Timer(Id); });
}

void TForm2::OpenRowFile(TOpenAction Action, const std::string& Path) {
  if (OpenFile) OpenFile(Action, Path);
}

void TForm2::CopyToClipboard(const std::string& Utf8) {
  QApplication::clipboard()->setText(QString::fromStdString(Utf8));
}
