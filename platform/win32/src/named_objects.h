// Names of kernel objects within the process: events, semaphores and mutexes share one namespace.
#pragma once

#include <qf/handle_table.h>

#include <functional>
#include <memory>
#include <string>

namespace qf {

// The live object of that name, or a new one from make() entered under the name. existed tells
// which. Returns null when the name belongs to an object of another type (is_same_type false).
std::shared_ptr<KernelObject> named_object_open_or_create(
    const std::string& name, const std::function<bool(const KernelObject&)>& is_same_type,
    const std::function<std::shared_ptr<KernelObject>()>& make, bool& existed);

// The live object of that name, or null.
std::shared_ptr<KernelObject> named_object_find(const std::string& name);

}  // namespace qf
