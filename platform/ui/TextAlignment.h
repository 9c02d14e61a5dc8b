#pragma once

namespace pf {

enum class TextAlignment { Left, Center, Right, Justified, Natural };

}
