// The list of problem files or refused paths: a resizable window with the
// paths and their reasons, a copy button and a close button.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "app/mainmodel.h"

class QTreeWidget;

class TProblemList : public QDialog {
  Q_OBJECT

 public:
  TProblemList(QWidget* Parent, const QString& Title, std::vector<TListedProblem> Lines);
  QTreeWidget* List;
  // Puts every line on the clipboard ("コピー(&C)").
  void CopyAll();

 private:
  std::vector<TListedProblem> Lines;
};
