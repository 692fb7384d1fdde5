#include "platform/codepage.hpp"
