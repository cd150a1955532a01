#include "web/request_object.h"

#include <mutex>
#include <utility>

#include "platform/web.h"

namespace kelvaro {
namespace {

std::mutex& FactoryMutex() {
  static std::mutex mutex;
  return mutex;
}

RequestObjectFactory& Factory() {
  static RequestObjectFactory factory;
  return factory;
}

}  // namespace

RequestObjectHandle CreateRequestObject(const Text& prog_id) {
  RequestObjectFactory factory;
  {
    std::lock_guard lock(FactoryMutex());
    factory = Factory();
  }
  if (factory) return factory(prog_id);
  if (prog_id != kRequestObjectProgId) return nullptr;
  return platform::MakeRequestObject();
}

void SetRequestObjectFactory(RequestObjectFactory factory) {
  std::lock_guard lock(FactoryMutex());
  Factory() = std::move(factory);
}

}  // namespace kelvaro
