#include "engine/server_use.h"

#include <new>

namespace quorvel {

void ServerUse::closeAndQuit() noexcept {
  try {
    if (book) book->close();
  } catch (...) {
  }
  try {
    if (app) app->quit();
  } catch (...) {
  }
  book = nullptr;
}

std::optional<ServerFailure> runServerSteps(const std::function<void()>& body) {
  try {
    body();
    return std::nullopt;
  } catch (const spreadsheet::SpreadsheetError& e) {
    return ServerFailure{e.number(), e.description()};
  } catch (const std::bad_alloc&) {
    return ServerFailure{7, "Out of memory"};
  } catch (const std::exception& e) {
    return ServerFailure{1, e.what()};
  }
}

}  // namespace quorvel
