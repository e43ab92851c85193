#pragma once
// The program's three windows. Start-up creates them once, in this order,
// and they live until the program ends; other windows reach each other
// through these pointers (null before start-up has run).

class Tloadcut;
class Tresize;
class Tzelvano;

namespace clipora::forms {
inline Tloadcut* loadcut = nullptr;
inline Tresize* resize = nullptr;
inline Tzelvano* zelvano = nullptr;
}  // namespace clipora::forms
