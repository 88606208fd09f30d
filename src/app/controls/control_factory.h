#pragma once

#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace norvale {

// Every control's object name is its control name; an element of a control array is
// Name_index ("Command1_14").
QString ControlName(const char* name, int index = -1);

QPushButton* MakeButton(const QString& name, const QString& caption);
QRadioButton* MakeOption(const QString& name, const QString& caption);
QCheckBox* MakeCheck(const QString& name, const QString& caption);
QGroupBox* MakeFrame(const QString& name, const QString& caption);
QLabel* MakeLabel(const QString& name, const QString& caption);
// A label whose text changes while the program runs. Screen readers take a label's accessible
// name from its text, and are told when it changes, only while no fixed name is set; so the
// fixed role ("Download status") goes into the description. Plain text: a status from a meter
// is never read as markup.
QLabel* MakeStatusLabel(const QString& name, const QString& caption, const QString& role);
// A text box's accessible name is the caption it is known by.
QLineEdit* MakeTextBox(const QString& name, const QString& text, const QString& accessibleName);

// A box whose text is saved and read back whole: without this, Qt cuts text at 32767 characters
// and the cut text is what gets saved.
void LiftLengthLimit(QLineEdit* box);

// Makes the label the box's buddy and its caption the box's accessible name.
void NameByLabel(QLabel* label, QWidget* box);

// Keeps a control's place in the layout while hidden, so showing it moves nothing else.
void KeepPlaceWhenHidden(QWidget* control);

}  // namespace norvale
