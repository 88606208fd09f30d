#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>
#include <array>
#include <string_view>

#include "app/controls/control_factory.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"
#include "live/live_units.h"

namespace norvale {
namespace {

// The keypad in index order, four buttons to a row.
constexpr const char* kKeypadCaptions[16] = {"1",    "2",       "3",     "Help / .", "4", "5",
                                             "6",    "Up/Next", "7",     "8",        "9", "Down",
                                             "Menu", "0",       "Enter", "2nd"};

std::string_view NameOf(const FlowUnit& unit) { return unit.name; }
std::string_view NameOf(std::string_view name) { return name; }

template <typename Entry, size_t N>
QStringList Captions(const std::array<Entry, N>& table) {
  QStringList captions;
  for (const Entry& entry : table) {
    const std::string_view name = NameOf(entry);
    captions << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  }
  return captions;
}

// An editable unit box: its initial text shows with no list position until one is chosen.
QGroupBox* UnitFrame(QGroupBox*& frame, const char* frameName, const QString& caption,
                     QComboBox*& box, const char* boxName, const QStringList& entries,
                     const QString& text) {
  frame = MakeFrame(QString::fromLatin1(frameName), caption);
  box = new QComboBox;
  box->setObjectName(QString::fromLatin1(boxName));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(entries);
  box->setCurrentIndex(-1);
  box->setEditText(text);
  box->setAccessibleName(caption);
  auto* layout = new QVBoxLayout(frame);
  layout->addWidget(box);
  frame->hide();
  return frame;
}

QGroupBox* BuildMeterType(WindowControls& c) {
  c.Frame10 = MakeFrame(QStringLiteral("Frame10"), QStringLiteral("Meter Type"));
  const QString captions[4] = {QStringLiteral("KX40 Series"), QStringLiteral("KX50 "),
                               QStringLiteral("KX60 "),
                               QStringLiteral("KX90,KX75,KX77, Solent Series")};
  auto* layout = new QVBoxLayout(c.Frame10);
  for (int i = 0; i < 4; ++i) {
    c.Option5[i] = MakeOption(ControlName("Option5", i), captions[i]);
    layout->addWidget(c.Option5[i]);
  }
  c.Option5[0]->setChecked(true);
  return c.Frame10;
}

QGroupBox* BuildDisplay(WindowControls& c) {
  c.Frame8[0] = MakeFrame(ControlName("Frame8", 0), {});
  auto* layout = new QVBoxLayout(c.Frame8[0]);
  for (int i = 0; i < 4; ++i) {
    c.Text4[i] =
        MakeTextBox(ControlName("Text4", i), {}, QStringLiteral("Display line %1").arg(i + 1));
    layout->addWidget(c.Text4[i]);
  }
  return c.Frame8[0];
}

QGroupBox* BuildKeypad(WindowControls& c) {
  c.Frame11 = MakeFrame(QStringLiteral("Frame11"), {});
  auto* grid = new QGridLayout(c.Frame11);
  for (int i = 0; i < 16; ++i) {
    c.Command1[i] = MakeButton(ControlName("Command1", i), QString::fromLatin1(kKeypadCaptions[i]));
    grid->addWidget(c.Command1[i], i / 4, i % 4);
  }
  return c.Frame11;
}

}  // namespace

QWidget* BuildDisplayMeterTab(WindowControls& c) {
  c.Command9 = MakeButton(QStringLiteral("Command9"), QStringLiteral("Begin"));

  c.Label10 = MakeLabel(QStringLiteral("Label10"), QStringLiteral("Alarms"));
  c.Text4[4] = MakeTextBox(ControlName("Text4", 4), {}, {});
  NameByLabel(c.Label10, c.Text4[4]);
  c.Label10->hide();
  c.Text4[4]->hide();
  auto* alarms = new QHBoxLayout;
  alarms->addWidget(c.Label10);
  alarms->addWidget(c.Text4[4], 1);

  auto* left = new QVBoxLayout;
  left->addWidget(BuildMeterType(c));
  left->addWidget(c.Command9);
  left->addWidget(UnitFrame(c.Frame12, "Frame12", QStringLiteral("Flow Units"), c.Combo1, "Combo1",
                            Captions(kFlowUnits), QStringLiteral("CFS")));
  left->addWidget(UnitFrame(c.Frame14, "Frame14", QStringLiteral("Flow Format"), c.Combo3, "Combo3",
                            Captions(kFlowFormats), QStringLiteral("#.##")));
  left->addWidget(UnitFrame(c.Frame15, "Frame15", QStringLiteral("Velocity Units"), c.Combo4,
                            "Combo4", Captions(kVelocityUnits), QStringLiteral("FPS")));
  left->addStretch(1);

  auto* right = new QVBoxLayout;
  right->addWidget(BuildDisplay(c));
  right->addLayout(alarms);
  right->addWidget(BuildKeypad(c));
  right->addStretch(1);

  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);
  layout->addLayout(left, 2);
  layout->addLayout(right, 3);
  return page;
}

}  // namespace norvale
