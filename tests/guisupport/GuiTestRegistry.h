#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// Every Qt Test class of a test program registers itself; the program's main runs them all.
using GuiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<GuiTestFactory>& guiTests();

struct GuiTestRegistration {
  explicit GuiTestRegistration(GuiTestFactory factory) { guiTests().push_back(std::move(factory)); }
};

#define KALVORA_GUI_TEST(TestClass)                         \
  static const GuiTestRegistration registration##TestClass( \
      [] { return std::unique_ptr<QObject>(std::make_unique<TestClass>().release()); })
