#include "qt/resultswindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "qt/resultmodel.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace {

constexpr int DesignLeft = 222;
constexpr int DesignTop = 129;
constexpr int DesignWidth = 456;
constexpr int DesignHeight = 293;
constexpr int DefaultColWidth = 120;
// Narrow enough for every width the layout file can restore.
constexpr int MinSectionSize = 8;
constexpr int DesignColWidths[TResultModel::ColCount] = {99, 206, 120};
constexpr int BlockNameCol = 2;

QFont DesignFont() {
  QFont f;
  f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans CJK JP")});
  f.setPixelSize(13);
  return f;
}

}  // namespace

TForm2::TForm2(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("検索結果"));
  setFont(DesignFont());

  Model = new TResultModel(this);
  SG1 = new QTableView(this);
  SG1->setObjectName(QStringLiteral("SG1"));
  SG1->setModel(Model);
  SG1->setSelectionBehavior(QAbstractItemView::SelectRows);
  SG1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG1->setShowGrid(true);
  SG1->setWordWrap(false);
  SG1->verticalHeader()->hide();
  SG1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SG1->verticalHeader()->setDefaultSectionSize(18);
  SG1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  SG1->horizontalHeader()->setMinimumSectionSize(MinSectionSize);
  SG1->horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
  SG1->horizontalHeader()->setStretchLastSection(false);
  SG1->horizontalHeader()->setHighlightSections(false);
  for (int c = 0; c < TResultModel::ColCount; ++c) SG1->setColumnWidth(c, DesignColWidths[c]);

  auto* copy = new QAction(SG1);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  SG1->addAction(copy);
  connect(copy, &QAction::triggered, this, [this] { CopySelection(); });

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

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setFixedHeight(11);
  StatusBar1->setSizeGripEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(SG1, 1);
  layout->addWidget(Panel1);
  layout->addWidget(StatusBar1);

  move(DesignLeft, DesignTop);
  resize(DesignWidth, DesignHeight);

  // The current row follows the user's clicks and key presses.
  connect(SG1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& Now, const QModelIndex&) {
            if (Now.isValid()) CurrentRow = Now.row() + 1;
          });
  SetRow(1);
}

void TForm2::SetCell(int Col, int Row, const std::string& Text) {
  Model->SetCell(Col, Row, Text);
}

std::string TForm2::Cell(int Col, int Row) const {
  return Model->Cell(Col, Row);
}

void TForm2::SetRowCount(int Rows) {
  const int keep = CurrentRow;
  Model->SetRowCount(Rows);
  SetRow(std::min(keep, Model->RowCount() - 1));
}

int TForm2::RowCount() const {
  return Model->RowCount();
}

int TForm2::Row() const {
  return CurrentRow;
}

void TForm2::SetRow(int R) {
  R = std::clamp(R, 1, Model->RowCount() - 1);
  CurrentRow = R;
  const QModelIndex at = Model->index(R - 1, 0);
  SG1->selectionModel()->setCurrentIndex(
      at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  SG1->scrollTo(at);
}

int TForm2::ColWidth(int Col) const {
  return SG1->columnWidth(Col);
}

void TForm2::SetColWidth(int Col, int Width) {
  SG1->setColumnWidth(Col, Width);
}

void TForm2::Button1Click() {
  // A character that CP932 cannot hold can match no block name.
  const std::optional<std::string> text = Utf8ToCp932(Edit1->text().toStdString());
  if (!text) return;
  const std::string key = NormalizeForSearch(*text);
  const int rows = Model->RowCount();
  for (int r = CurrentRow + 1; r < rows; ++r) {
    if (TextPos(key, NormalizeForSearch(Model->Cell(BlockNameCol, r))) > 0) {
      SetRow(r);
      return;
    }
  }
}

void TForm2::Button2Click() {
  reject();
}

QString TForm2::SelectedRowsText() const {
  QList<int> rows;
  for (const QModelIndex& i : SG1->selectionModel()->selectedRows()) rows.append(i.row() + 1);
  std::sort(rows.begin(), rows.end());
  QString out;
  for (int r : rows) {
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
