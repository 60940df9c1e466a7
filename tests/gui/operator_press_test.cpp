// The operator's clicks and keys go through the program's command path: a
// press that comes while a handler is serving events runs after it, never
// inside it.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

#include "core/program.h"
#include "gui/form_view.h"
#include "gui/main_window.h"
#include "gui/views.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using Strings = std::vector<std::string>;

TEST(OperatorPress, ClicksDuringAHandlerThatServesEventsRunAfterItInOrder) {
  test::ProgramRig rig;
  Program& p = *rig.program;
  Views views(p);
  MainWindow& win = views.main();
  auto* button = win.findChild<QPushButton*>("Command9");
  auto* check = win.findChild<QCheckBox*>("Check1");
  QAction* menu = win.view().action("SpecialSettings");
  ASSERT_TRUE(button && check && menu);

  Strings order;
  p.form1()["Command9"].on(Event::Click, [&] { order.push_back("button"); });
  p.form1()["Check1"].on(Event::Click, [&] { order.push_back("check " + std::to_string(p.form1()["Check1"].value())); });
  p.form1()["SpecialSettings"].on(Event::Click, [&] { order.push_back("menu"); });

  // GIVEN a handler that serves events (as a wait or a dialog does); WHEN
  // the operator clicks a button, a check box and a menu item meanwhile
  Command busy;
  busy.name = "busy";
  busy.origin = CommandOrigin::Local;
  busy.run = [&] {
    order.push_back("busy begins");
    button->click();
    check->click();
    menu->trigger();
    button->click();
    rig.pump.processEvents();
    order.push_back("busy ends");
  };
  p.commands().submit(std::move(busy));

  // THEN each press ran after the handler, in the order pressed
  EXPECT_EQ(order, (Strings{"busy begins", "busy ends", "button", "check 1", "menu", "button"}));
  EXPECT_TRUE(check->isChecked());
  EXPECT_TRUE(p.options2().shown());

  // With nothing running, a press acts at once.
  order.clear();
  check->click();
  EXPECT_EQ(order, (Strings{"check 0"}));
  EXPECT_FALSE(check->isChecked());
}

}  // namespace
}  // namespace qv
