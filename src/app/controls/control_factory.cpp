#include "app/controls/control_factory.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <limits>

namespace norvale {

QString ControlName(const char* name, int index) {
  QString text = QString::fromLatin1(name);
  return index < 0 ? text : text + QLatin1Char('_') + QString::number(index);
}

QPushButton* MakeButton(const QString& name, const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QRadioButton* MakeOption(const QString& name, const QString& caption) {
  auto* option = new QRadioButton(caption);
  option->setObjectName(name);
  return option;
}

QCheckBox* MakeCheck(const QString& name, const QString& caption) {
  auto* check = new QCheckBox(caption);
  check->setObjectName(name);
  return check;
}

QGroupBox* MakeFrame(const QString& name, const QString& caption) {
  auto* frame = new QGroupBox(caption);
  frame->setObjectName(name);
  return frame;
}

QLabel* MakeLabel(const QString& name, const QString& caption) {
  auto* label = new QLabel(caption);
  label->setObjectName(name);
  return label;
}

QLabel* MakeStatusLabel(const QString& name, const QString& caption, const QString& role) {
  QLabel* label = MakeLabel(name, caption);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAccessibleDescription(role);
  return label;
}

QLineEdit* MakeTextBox(const QString& name, const QString& text, const QString& accessibleName) {
  auto* box = new QLineEdit(text);
  box->setObjectName(name);
  box->setAccessibleName(accessibleName);
  return box;
}

void LiftLengthLimit(QLineEdit* box) { box->setMaxLength(std::numeric_limits<int>::max()); }

void NameByLabel(QLabel* label, QWidget* box) {
  label->setBuddy(box);
  box->setAccessibleName(label->text());
}

void KeepPlaceWhenHidden(QWidget* control) {
  QSizePolicy policy = control->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  control->setSizePolicy(policy);
}

}  // namespace norvale
