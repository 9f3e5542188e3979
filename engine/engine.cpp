#include "engine/engine.h"

#include "engine/engine_impl.h"

namespace quorvel {

Engine::Engine(WindowModel& window, spreadsheet::ApplicationFactory newApplication)
    : window_(window), newApplication_(std::move(newApplication)), impl_(std::make_unique<Impl>()) {
  if (!newApplication_) newApplication_ = [] { return spreadsheet::createApplication(); };
}

Engine::~Engine() = default;

const std::vector<SheetConversion>& Engine::LastConvertedSheets() const {
  return impl_->converted;
}

void Engine::SeedRandomNames(std::uint32_t seed) {
  impl_->random.seed(seed);
}

}  // namespace quorvel
