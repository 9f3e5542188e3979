#pragma once
// One use of the spreadsheet component by an engine procedure: the objects it
// created, and the failure that broke it off.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/spreadsheet/automation.h"

namespace quorvel {

struct ServerFailure {
  int number = 0;  // positive for every failure of our component
  std::string description;
};

struct ServerUse {
  std::unique_ptr<spreadsheet::Application> app;
  spreadsheet::Workbook* book = nullptr;

  // The failure path: close the workbook if it was opened and quit the
  // application if it was created. A failure of these is not shown again.
  void closeAndQuit() noexcept;
};

// Runs `body`; any error it raises becomes the failure returned.
std::optional<ServerFailure> runServerSteps(const std::function<void()>& body);

}  // namespace quorvel
