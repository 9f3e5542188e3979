#pragma once
// One use of the spreadsheet component by the engine: the objects it
// created, and the failure that broke it off.
#include <functional>
#include <memory>
#include <optional>

#include "engine/outcome.h"
#include "engine/spreadsheet/automation.h"

namespace quorvel {

struct ServerUse {
  std::unique_ptr<spreadsheet::Application> app;
  spreadsheet::Workbook* book = nullptr;

  // Creates the application: `factory`, or our own component without one.
  void start(const spreadsheet::ApplicationFactory& factory);
  // The normal end: closes the workbook and quits the application.
  void finish();
  // The failure path: for a positive number, closes the workbook if it was
  // opened and quits the application if it was created (a failure of these
  // is not reported again). A server that reports a non-positive number is
  // left alone, as it may no longer answer.
  void abandon(const Failure& failure) noexcept;
};

// Runs `body`; any error it raises becomes the failure returned.
std::optional<Failure> runServerSteps(const std::function<void()>& body);

}  // namespace quorvel
