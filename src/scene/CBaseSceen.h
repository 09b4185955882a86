#pragma once
// The common base of the scenes the game window owns (the menu and the duel).
// The window always calls a scene through its concrete type; the base only
// gives the scenes a virtual destructor.

class CBaseSceen {
  public:
    virtual ~CBaseSceen() = default;
};
