#include "site/lookup_store.h"

namespace kelvaro {
namespace {

constexpr int kHttpOk = 200;

}  // namespace

std::optional<StandardLookup> MemoryLookupStore::Find(const Site& site, const Text& keyword,
                                                      int page) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto it = pages_.find({site.name, site.prefix, keyword, page});
  if (it == pages_.end()) return std::nullopt;
  return it->second;
}

void MemoryLookupStore::Keep(const Site& site, const Text& keyword, int page,
                             const StandardLookup& lookup) {
  // A refusal or a page of another kind is the site failing, however it answered.
  const bool read = lookup.kind == PageKind::kResults || lookup.kind == PageKind::kNoHit;
  if (lookup.http_status != kHttpOk || !read) return;
  std::lock_guard<std::mutex> hold(mutex_);
  pages_.emplace(Key(site.name, site.prefix, keyword, page), lookup);
}

std::optional<DetailLookup> MemoryLookupStore::FindDetail(const Text& address) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto it = details_.find(address);
  if (it == details_.end()) return std::nullopt;
  return it->second;
}

void MemoryLookupStore::KeepDetail(const DetailLookup& lookup) {
  if (!lookup.Read()) return;
  std::lock_guard<std::mutex> hold(mutex_);
  details_.emplace(lookup.address, lookup);
}

}  // namespace kelvaro
