#include "db/sqlcipher/SqlCipherStores.h"

namespace quarn {

SqlCipherStores::SqlCipherStores(BusyWaiter* waiter, std::string path)
    : m_file{std::move(path), waiter, std::nullopt, nullptr} {}

}  // namespace quarn
