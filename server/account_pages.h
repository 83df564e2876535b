#pragma once
// Sign-up and password recovery for browsers. Recovery works without e-mail:
// sign-up shows a one-time recovery code (stored hashed); the account name,
// that code and a new password set the new password and issue a new code.
#include <optional>
#include <string>
#include <string_view>

#include "protocol.h"

namespace wycserver {

class AbuseLimits;
class Storage;

// Why a name or password cannot be used, or nothing when it can. Both must be
// typeable in the desktop program (GBK). The name travels unencoded in its
// login address, so blanks and the characters that delimit a query are refused
// in names.
std::optional<std::string> accountNameProblem(std::string_view utf8);
std::optional<std::string> passwordProblem(std::string_view utf8);

class AccountPages {
  public:
    AccountPages(Storage& storage, AbuseLimits& limits) : m_storage(storage), m_limits(limits) {}
    // Both take the posted form and return the HTML page to show. Both hash
    // passwords: callers bound how many run at once. `request` names the
    // request in the ledger.
    std::string signUp(const FormFields& form, const std::string& clientAddress,
                       const std::string& request = {});
    std::string recover(const FormFields& form, const std::string& clientAddress);

  private:
    Storage& m_storage;
    AbuseLimits& m_limits;
};

} // namespace wycserver
