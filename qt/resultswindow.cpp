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
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/layout.h"
#include "app/preview.h"
#include "qt/previewpane.h"
#include "qt/resultmodel.h"
#include "text/paths.h"

namespace {

const TWindowLayout Design;
constexpr int DefaultColWidth = 120;
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

void OpenFileWith(TOpenAction Action, const std::string& Path) {
  const QString path = ShownPath(Path);
  if (Action == TOpenAction::OpenWithProgram) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
    QDesktopServices::openUrl(QUrl::fromLocalFile(ShownPath(ExtractFolder(Path))));
  }
}

TForm2::TForm2(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("検索結果"));
  setFont(DesignFont());

  FilterPanel = new QWidget(this);
  auto* filterRow = new QHBoxLayout(FilterPanel);
  filterRow->setContentsMargins(4, 2, 4, 2);
  FilterLabel = new QLabel(QStringLiteral("絞り込み(&L)："), FilterPanel);
  FilterEdit = new QLineEdit(FilterPanel);
  FilterEdit->setPlaceholderText(QStringLiteral("ブロック名・ファイル名"));
  FilterEdit->setClearButtonEnabled(true);
  FilterLabel->setBuddy(FilterEdit);
  filterRow->addWidget(FilterLabel);
  filterRow->addWidget(FilterEdit, 1);
  connect(FilterEdit, &QLineEdit::textChanged, this, [this](const QString& t) { SetFilter(t); });
  connect(AddAction(this, QString(), QKeySequence::Find, Qt::WindowShortcut), &QAction::triggered,
          this, [this] {
            FilterEdit->setFocus();
            FilterEdit->selectAll();
          });

  Model = new TResultModel(this);
  Splitter = new QSplitter(Qt::Horizontal, this);
  Splitter->setChildrenCollapsible(true);
  SG1 = new QTableView(Splitter);
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
          [this](int Col) { HeaderClick(Col); });
  for (int c = 0; c < TResultModel::ColCount; ++c)
    SG1->setColumnWidth(c, Design.Columns[static_cast<size_t>(c)]);

  QAction* copy =
      AddAction(SG1, QStringLiteral("行をコピー(&C)"), QKeySequence::Copy, Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, [this] { CopySelection(); });
  OpenFile = OpenFileWith;
  RowMenu = new QMenu(this);
  connect(RowMenu->addAction(QStringLiteral("関連付けられたプログラムで開く(&O)")),
          &QAction::triggered, this, [this] { OpenCurrent(TOpenAction::OpenWithProgram); });
  connect(RowMenu->addAction(QStringLiteral("フォルダーに表示(&F)")), &QAction::triggered, this,
          [this] { OpenCurrent(TOpenAction::ShowInFolder); });
  connect(RowMenu->addAction(QStringLiteral("パスをコピー(&P)")), &QAction::triggered, this,
          [this] { CopyPath(); });
  RowMenu->addAction(copy);
  SG1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SG1, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
    if (SG1->indexAt(At).isValid()) RowMenu->popup(SG1->viewport()->mapToGlobal(At));
  });
  connect(SG1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& At) {
    if (At.isValid()) OpenCurrent(DoubleClickAction());
  });

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

  // One line of text; a click lists the problem files.
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusText = new QLabel(StatusBar1);
  StatusText->setTextFormat(Qt::PlainText);
  StatusBar1->addWidget(StatusText, 1);
  StatusBar1->setFixedHeight(fontMetrics().height() + 6);
  StatusBar1->installEventFilter(this);
  StatusText->installEventFilter(this);

  Preview = new TPreviewPane(Splitter);
  Splitter->addWidget(SG1);
  Splitter->addWidget(Preview);
  Splitter->setStretchFactor(0, 1);
  Splitter->setStretchFactor(1, 0);
  Splitter->setSizes({Design.Results.Width - PreviewSize, PreviewSize});
  connect(Splitter, &QSplitter::splitterMoved, this,
          [this] { PreviewSize = Splitter->sizes().value(1); });
  PreviewFollower = std::make_unique<TPreviewFollower>([this](uint64_t Ticket, TPreview P) {
    // Handed to the window's thread; a stale answer is dropped there.
    QMetaObject::invokeMethod(
        this,
        [this, Ticket, P = std::move(P)] {
          if (!PreviewFollower->Take(Ticket)) return;
          if (P.List)
            Preview->ShowList(P.List);
          else
            Preview->ShowMessage(QString::fromStdString(P.Problem));
        },
        Qt::QueuedConnection);
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
            if (Now.isValid()) Model->Results().SetCurrent(Model->ResultRow(Now.row()));
            UpdatePreview();
          });
  SetRow(1);
}

TForm2::~TForm2() = default;

int TForm2::PreviewWidth() const {
  return PreviewSize;
}

void TForm2::SetPreviewWidth(int Width) {
  PreviewSize = std::max(Width, 0);
  PlacePreview();
}

void TForm2::PlacePreview() {
  const QList<int> sizes = Splitter->sizes();
  const int total = std::max(Splitter->width(), sizes.value(0) + sizes.value(1));
  Splitter->setSizes({std::max(total - PreviewSize, 0), PreviewSize});
}

void TForm2::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  PlacePreview();  // now that the splitter has its width
  UpdatePreview();
}

void TForm2::UpdatePreview() {
  if (!isVisible()) return;
  switch (PreviewFollower->Follow(Model->Results())) {
    case TPreviewFollower::TStep::Unchanged:
      return;
    case TPreviewFollower::TStep::Cleared:
      Preview->ShowMessage(QString());
      return;
    case TPreviewFollower::TStep::Asked:
      // A file kept from the last request answers at once; a new one may
      // take a moment, which the pane says rather than showing the last
      // drawing.
      QTimer::singleShot(150, this, [this] {
        if (PreviewFollower->Waiting())
          Preview->ShowMessage(QString::fromStdString(PreviewLoadingText));
      });
      return;
  }
}

void TForm2::SetCell(int Col, int Row, const std::string& Text) {
  Model->SetCell(Col, Row, Text);
}

std::string TForm2::Cell(int Col, int Row) const {
  return Model->Cell(Col, Row);
}

void TForm2::SetRowCount(int Rows) {
  PreviewFollower->Forget();
  Model->SetRowCount(Rows);
  ShowCurrent();
  UpdateStatus();
}

int TForm2::RowCount() const {
  return Model->RowCount();
}

int TForm2::Row() const {
  return Model->Results().Current();
}

void TForm2::SetRow(int R) {
  Model->Results().SetCurrent(R);
  ShowCurrent();
}

// Selects the table's current row in the view (the model's reset dropped
// the view's own selection).
void TForm2::ShowCurrent() {
  const int at = Model->ModelRow(Row());
  if (at < 0) {
    SG1->selectionModel()->clearSelection();
    UpdatePreview();
    return;
  }
  const QModelIndex index = Model->index(at, 0);
  SG1->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  SG1->scrollTo(index);
  UpdatePreview();
}

int TForm2::ColWidth(int Col) const {
  return SG1->columnWidth(Col);
}

void TForm2::SetColWidth(int Col, int Width) {
  SG1->setColumnWidth(Col, Width);
}

void TForm2::SetFilter(const QString& Text) {
  if (FilterEdit->text() != Text) FilterEdit->setText(Text);  // comes back here
  if (Model->Results().FilterText() == Text.toStdString()) return;
  Model->SetFilter(Text);
  ShowCurrent();
  UpdateStatus();
}

void TForm2::HeaderClick(int Col) {
  const TResultTable& t = Model->Results();
  const TSortOrder order = NextSortOrder(t.SortColumn(), t.SortOrder(), Col);
  Model->SetSort(Col, order);
  QHeaderView* header = SG1->horizontalHeader();
  header->setSortIndicatorShown(order != TSortOrder::Search);
  header->setSortIndicator(
      Col, order == TSortOrder::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  ShowCurrent();
}

void TForm2::SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) {
  Model->Results().SetReport(Summary, std::move(Problems));
  UpdateStatus();
}

void TForm2::UpdateStatus() {
  StatusText->setText(QString::fromStdString(Model->Results().StatusText()));
  const bool problems = !Model->Results().Problems().empty();
  StatusText->setToolTip(problems ? QStringLiteral("クリックで読み込めなかったファイルの一覧")
                                  : QString());
  StatusText->setCursor(problems ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

QString TForm2::StatusBarText() const {
  return StatusText->text();
}

bool TForm2::eventFilter(QObject* Watched, QEvent* Event) {
  if ((Watched == StatusBar1 || Watched == StatusText) &&
      Event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    ShowProblems();
    return true;
  }
  return QDialog::eventFilter(Watched, Event);
}

void TForm2::ShowProblems() {
  const std::vector<TProblemFile>& problems = Model->Results().Problems();
  if (problems.empty()) return;
  QDialog list(this);
  list.setObjectName(QStringLiteral("ProblemList"));
  list.setWindowTitle(QStringLiteral("読み込めなかったファイル"));
  auto* tree = new QTreeWidget(&list);
  tree->setRootIsDecorated(false);
  tree->setHeaderLabels({QStringLiteral("ファイル"), QStringLiteral("理由")});
  tree->setTextElideMode(Qt::ElideMiddle);
  for (const TProblemFile& p : problems) {
    auto* item = new QTreeWidgetItem(tree);
    item->setText(0, ShownPath(p.Path));
    item->setToolTip(0, ShownPath(p.Path));
    item->setText(1, QString::fromStdString(DescribeOutcomeJa(p.Outcome)));
    item->setToolTip(1, item->text(1));
    item->setIcon(0, style()->standardIcon(p.Outcome.Failed() ? QStyle::SP_MessageBoxCritical
                                                              : QStyle::SP_MessageBoxWarning));
  }
  tree->setColumnWidth(0, 260);
  tree->resizeColumnToContents(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &list);
  connect(buttons, &QDialogButtonBox::rejected, &list, &QDialog::reject);
  auto* column = new QVBoxLayout(&list);
  column->addWidget(tree);
  column->addWidget(buttons);
  list.resize(std::min(260 + tree->columnWidth(1) + 60, 1000), 240);
  list.exec();
}

void TForm2::Button1Click() {
  if (Model->Results().FindNext(Edit1->text().toStdString())) ShowCurrent();
}

void TForm2::Button2Click() {
  reject();
}

QString TForm2::SelectedRowsText() const {
  QList<int> at;
  for (const QModelIndex& i : SG1->selectionModel()->selectedRows()) at.append(i.row());
  std::sort(at.begin(), at.end());
  QString out;
  for (int m : at) {
    const int r = Model->ResultRow(m);
    for (int c = 0; c < TResultModel::ColCount; ++c) {
      if (c > 0) out += QLatin1Char('\t');
      out += Model->DisplayText(c, r);
    }
    out += QLatin1Char('\n');
  }
  return out;
}

void TForm2::CopySelection() {
  const QString text = SelectedRowsText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

std::string TForm2::CurrentPath() const {
  if (Model->ModelRow(Row()) < 0) return {};
  return Model->Cell(PathCol, Row());
}

void TForm2::CopyPath() {
  const std::string path = CurrentPath();
  if (!path.empty()) QApplication::clipboard()->setText(ShownPath(path));
}

void TForm2::OpenCurrent(TOpenAction Action) {
  const std::string path = CurrentPath();
  if (!path.empty() && OpenFile) OpenFile(Action, path);
}
