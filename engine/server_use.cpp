#include "engine/server_use.h"

#include <new>

namespace quorvel {

void ServerUse::start(const spreadsheet::ApplicationFactory& factory) {
  app = factory ? factory() : spreadsheet::createApplication();
}

void ServerUse::finish() {
  book->close();
  book = nullptr;
  app->quit();
  app.reset();
}

void ServerUse::abandon(const Failure& failure) noexcept {
  if (failure.number > 0) {
    try {
      if (book) book->close();
    } catch (...) {
    }
    try {
      if (app) app->quit();
    } catch (...) {
    }
  }
  book = nullptr;
  app.reset();
}

std::optional<Failure> runServerSteps(const std::function<void()>& body) {
  try {
    body();
    return std::nullopt;
  } catch (const spreadsheet::SpreadsheetError& e) {
    return Failure{e.number(), e.description()};
  } catch (const std::bad_alloc&) {
    return Failure{7, "Out of memory"};
  } catch (const std::exception& e) {
    return Failure{1, e.what()};
  }
}

}  // namespace quorvel
