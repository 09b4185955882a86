#pragma once
// The synthesized sound effects of the duel. Each function returns the raw
// clip; the caller sets its level.
#include "Clip.h"

namespace assets {

// "asiato": an enemy's footsteps on gravel, about 2.5 s of steady steps.
Samples MakeFootsteps();
// "huri": the sword swing that announces an attack: a short whoosh around a
// clear whistling pitch, so a high and a low playback are told apart at once.
Samples MakeSwing();
// "kin": crossed swords, a bright metallic clang ringing out.
Samples MakeClang();
// "sasu1": the player's killing stroke: a fast bright slash and a cut.
Samples MakeKillStroke();
// "sasu2": the enemy's stroke that hits the player: heavy, low, dull.
Samples MakeEnemyStroke();
// "chance": a rising chime.
Samples MakeChanceChime();
// The short fanfare before "Winner!".
Samples MakeFanfare();

}  // namespace assets
