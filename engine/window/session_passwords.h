#pragma once
// Passwords for encrypted workbooks, asked for when a workbook needs one:
// what the user types is kept for the rest of the session, in memory only,
// and tried on every workbook opened after it.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"

namespace quorvel {

// Shared by the window and a run's thread.
class SessionPasswords {
 public:
  std::vector<std::string> all() const;
  void add(const std::string& password);  // a password already kept is not added twice

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> passwords_;
};

// Asks for the password of the workbook named `workbook` (its file name).
// `again`: the password given last did not open it. Nothing: skip it.
using AskPassword =
    std::function<std::optional<std::string>(const std::string& workbook, bool again)>;

// Creates an application that opens workbooks with the given passwords.
using OpenWithPasswords =
    std::function<std::unique_ptr<spreadsheet::Application>(const spreadsheet::OpenOptions&)>;

// Applications from `create`, given the session's passwords. When a
// workbook is password-protected against all of them, `ask` is asked, and
// the workbook opened again with what it answers (kept in `passwords`),
// until it opens or `ask` answers nothing, which leaves the error as it is.
spreadsheet::ApplicationFactory PasswordAskingFactory(OpenWithPasswords create,
                                                      SessionPasswords& passwords, AskPassword ask);

}  // namespace quorvel
