#include "site/lookup_store.h"

namespace kelvaro {
namespace {

constexpr int kHttpOk = 200;

}  // namespace

std::optional<StandardLookup> MemoryLookupStore::Find(const Site& site, const Text& keyword) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto it = pages_.find({site.name, site.prefix, keyword});
  if (it == pages_.end()) return std::nullopt;
  return it->second;
}

void MemoryLookupStore::Keep(const Site& site, const Text& keyword, const StandardLookup& lookup) {
  if (lookup.http_status != kHttpOk) return;
  std::lock_guard<std::mutex> hold(mutex_);
  pages_.emplace(Key(site.name, site.prefix, keyword), lookup);
}

}  // namespace kelvaro
