#include "app/store_opener.h"

#include "store/schema.h"

namespace mirvaly {
namespace {

class EmbeddedStoreOpener : public StoreOpener {
public:
    std::unique_ptr<Database> open(const std::string& path) override {
        return Database::open(path);
    }
    std::unique_ptr<Database> create(const std::string& path) override { return createStore(path); }
};

}  // namespace

std::unique_ptr<StoreOpener> embeddedStoreOpener() {
    return std::make_unique<EmbeddedStoreOpener>();
}

}  // namespace mirvaly
