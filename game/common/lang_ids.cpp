// The arguments each caller formats into its string (see lang_ids.h).
#include "common/lang_ids.h"

const char *lang_signature(int id)
{
    switch (id) {
    case LANG_KILL_LINE: return "%s%s%s";
    case LANG_INTEL_CAPTURED:
    case LANG_TERRITORY_CAPTURED:
    case LANG_INTEL_DROPPED:
    case LANG_INTEL_TAKEN:
    case LANG_PLAYER_JOINED:
    case LANG_CAPTURING:
    case LANG_MAP_REFUSED:
    case LANG_MAP_TOO_LARGE:
    case LANG_MAP_CHANGE_CANCELLED: return "%s%s";
    case LANG_KILL_TEAM_CHANGE:
    case LANG_KILL_FALL:
    case LANG_ADMIN_GRANTED:
    case LANG_PLAYER_BANNED:
    case LANG_PLAYER_LEFT:
    case LANG_PLAYER_KICKED:
    case LANG_KILL_WEAPON_CHANGE:
    case LANG_TEAM_WINS:
    case LANG_VOTEKICK_STARTED:
    case LANG_MAP_UNREADABLE:
    case LANG_MAP_INVALID:
    case LANG_BAD_PORT:
    case LANG_ERR_BAD_ADDRESS:
    case LANG_MAP_MISSING:
    case LANG_BAD_LANGUAGE:
    case LANG_SETTINGS_MISSING:
    case LANG_LANGUAGE_FILE_FAILED: return "%s";
    case LANG_PLAYER_JOINED_TEAM: return "%d%s%s";
    case LANG_HOST_CREATE_FAILED: return "%d%s";
    case LANG_FOG_SET: return "%d%d%d";
    case LANG_MAP_CHANGE_SCHEDULED: return "%s%d";
    case LANG_VOTES_NEEDED:
    case LANG_SERVER_STARTED:
    case LANG_ID_BANNED:
    case LANG_ID_LEFT:
    case LANG_ID_KICKED:
    case LANG_WEAPON_CHOICE:
    case LANG_SPECTATOR_CHOICE:
    case LANG_VOLUME: return "%d";
    case LANG_PLAYER_CONNECTED: return "%d%s";
    case LANG_TEAM_CHOICE: return "%d%s";
    case LANG_PUBLIC_IP: return "%u";
    default: return "";
    }
}
