#include "qt/problemlist.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "qt/designfont.h"

TProblemList::TProblemList(QWidget* Parent, const QString& Title, std::vector<TListedProblem> Shown)
    : QDialog(Parent), Lines(std::move(Shown)) {
  setObjectName(QStringLiteral("ProblemList"));
  setWindowTitle(Title);
  setSizeGripEnabled(true);
  List = new QTreeWidget(this);
  List->setRootIsDecorated(false);
  List->setUniformRowHeights(true);
  List->setHeaderLabels({QStringLiteral("ファイル"), QStringLiteral("理由")});
  List->setTextElideMode(Qt::ElideMiddle);
  for (const TListedProblem& l : Lines) {
    auto* item = new QTreeWidgetItem(List);
    item->setText(0, ShownPath(l.Path));
    item->setToolTip(0, item->text(0));
    item->setText(1, QString::fromStdString(l.Reason));
    item->setToolTip(1, item->text(1));
    item->setIcon(0, style()->standardIcon(l.Failed ? QStyle::SP_MessageBoxCritical
                                                    : QStyle::SP_MessageBoxWarning));
  }
  List->setColumnWidth(0, 260);
  List->resizeColumnToContents(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* copy =
      buttons->addButton(QStringLiteral("コピー(&C)"), QDialogButtonBox::ActionRole);
  connect(copy, &QPushButton::clicked, this, [this] { CopyAll(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* column = new QVBoxLayout(this);
  column->addWidget(List);
  column->addWidget(buttons);
  resize(std::min(260 + List->columnWidth(1) + 60, 1000), 300);
}

void TProblemList::CopyAll() {
  QApplication::clipboard()->setText(QString::fromStdString(CopiedProblems(Lines)));
}
