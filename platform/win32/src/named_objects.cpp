#include "named_objects.h"

#include <mutex>
#include <unordered_map>

namespace qf {
namespace {

struct NameTable {
    std::mutex lock;
    std::unordered_map<std::string, std::weak_ptr<KernelObject>> objects;
};

NameTable& names() {
    static NameTable* instance = new NameTable;  // outlives every static destructor
    return *instance;
}

}  // namespace

std::shared_ptr<KernelObject> named_object_open_or_create(
    const std::string& name, const std::function<bool(const KernelObject&)>& is_same_type,
    const std::function<std::shared_ptr<KernelObject>()>& make, bool& existed) {
    NameTable& t = names();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(name);
    if (it != t.objects.end()) {
        if (auto object = it->second.lock()) {
            existed = true;
            return is_same_type(*object) ? object : nullptr;
        }
    }
    existed = false;
    std::shared_ptr<KernelObject> object = make();
    if (object) t.objects[name] = object;
    // Forget names whose objects are gone, so the table does not grow without bound.
    for (auto i = t.objects.begin(); i != t.objects.end();) i = i->second.expired() ? t.objects.erase(i) : std::next(i);
    return object;
}

std::shared_ptr<KernelObject> named_object_find(const std::string& name) {
    NameTable& t = names();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(name);
    return it == t.objects.end() ? nullptr : it->second.lock();
}

}  // namespace qf
