#pragma once
// Sign-up and password recovery for browsers. Recovery works without e-mail:
// sign-up shows a one-time recovery code (stored hashed); the account name,
// that code and a new password set the new password and issue a new code.
#include <optional>
#include <string>
#include <string_view>

#include "protocol.h"

namespace wycserver {

class Storage;

// Why a name or password cannot be used, or nothing when it can. Both must be
// typeable in the desktop program (GBK). The name travels unencoded in its
// login address, so blanks and the characters that delimit a query are refused
// in names.
std::optional<std::string> accountNameProblem(std::string_view utf8);
std::optional<std::string> passwordProblem(std::string_view utf8);

class AccountPages {
  public:
    explicit AccountPages(Storage& storage) : m_storage(storage) {}
    // Both take the posted form and return the HTML page to show.
    std::string signUp(const FormFields& form);
    std::string recover(const FormFields& form);

  private:
    Storage& m_storage;
};

} // namespace wycserver
