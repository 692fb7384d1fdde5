#include <kelvane/console.hpp>
