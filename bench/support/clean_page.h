// Deterministic clean web content for the benchmarks: markup, script and ordinary prose.
#pragma once

#include <cstddef>
#include <string>

std::string clean_page(size_t size);
