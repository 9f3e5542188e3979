#include "engine/window/session_passwords.h"

#include <algorithm>
#include <filesystem>

namespace quorvel {

std::vector<std::string> SessionPasswords::all() const {
  std::lock_guard lock(mutex_);
  return passwords_;
}

void SessionPasswords::add(const std::string& password) {
  std::lock_guard lock(mutex_);
  if (std::find(passwords_.begin(), passwords_.end(), password) == passwords_.end())
    passwords_.push_back(password);
}

namespace {

using spreadsheet::Application;
using spreadsheet::ErrorCode;
using spreadsheet::SpreadsheetError;

class PasswordAskingApplication final : public Application {
 public:
  PasswordAskingApplication(OpenWithPasswords create, SessionPasswords& passwords, AskPassword ask)
      : create_(std::move(create)), passwords_(passwords), ask_(std::move(ask)) {
    inner_ = create_({passwords_.all()});
  }

  spreadsheet::Workbook& open(const std::string& path) override {
    for (bool again = false;; again = true) {
      try {
        return inner_->open(path);
      } catch (const SpreadsheetError& e) {
        if (e.code() != ErrorCode::PasswordProtected || !ask_) throw;
        const auto password = ask_(std::filesystem::path(path).filename().string(), again);
        if (!password) throw;
        passwords_.add(*password);
        // The passwords are the application's from its start: a new one
        // opens the workbook with the password just given.
        try {
          inner_->quit();
        } catch (...) {
        }
        inner_ = create_({passwords_.all()});
        if (alertsSet_) inner_->setDisplayAlerts(alerts_);
      }
    }
  }

  void setDisplayAlerts(bool on) override {
    alertsSet_ = true;
    alerts_ = on;
    inner_->setDisplayAlerts(on);
  }

  void quit() override { inner_->quit(); }

 private:
  OpenWithPasswords create_;
  SessionPasswords& passwords_;
  AskPassword ask_;
  std::unique_ptr<Application> inner_;
  bool alertsSet_ = false;
  bool alerts_ = true;
};

}  // namespace

spreadsheet::ApplicationFactory PasswordAskingFactory(OpenWithPasswords create,
                                                      SessionPasswords& passwords,
                                                      AskPassword ask) {
  return [create = std::move(create), &passwords,
          ask = std::move(ask)]() -> std::unique_ptr<Application> {
    return std::make_unique<PasswordAskingApplication>(create, passwords, ask);
  };
}

}  // namespace quorvel
