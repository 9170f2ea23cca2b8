// Ids of the language strings and the printf arguments each caller formats
// into them. The ids are fixed: they index every language file. The comment
// after each id is the argument list; a string without one is printed as is
// (never used as a format with arguments).
#pragma once

enum LangId {
    LANG_ASK_REGISTER = 0,        // server question: register with the master? (answer letters: string 91)
    LANG_CAUSE_BLOCK = 1,         // kill cause: killer held the block tool
    LANG_KILL_LINE = 2,           // %s killer, %s victim, %s cause
    LANG_INTEL_CAPTURED = 3,      // %s player, %s team whose intel it was
    LANG_TERRITORY_CAPTURED = 4,  // %s team, %s sector
    LANG_KILL_TEAM_CHANGE = 5,    // %s victim
    LANG_CHAT_ALL_LABEL = 6,      // chat input label (":" is appended)
    LANG_CHAT_TEAM_LABEL = 7,     // chat input label (":" is appended)
    LANG_REJECT_BANNED = 8,
    LANG_REJECT_FULL = 9,
    LANG_REJECT_KICKED = 10,
    LANG_REJECT_VERSION = 11,
    LANG_MASTER_CONNECTING = 12,
    LANG_MASTER_DISCONNECTED = 13,
    LANG_MASTER_ATTEMPT_STARTED = 14,
    LANG_INTEL_DROPPED = 15,      // %s player, %s team whose intel it is
    LANG_ERR_NO_WORK_BUFFER = 16,
    LANG_ERR_NO_ADDRESS = 17,
    LANG_MASTER_CONNECT_FAILED = 18,
    LANG_ERR_CPU_BASIC = 19,
    LANG_ERR_HOST_CREATE = 20,
    LANG_ERR_DISPLAY = 21,
    LANG_ERR_INPUT = 22,
    LANG_ERR_NETWORK_INIT = 23,
    LANG_ERR_KEYBOARD = 24,
    LANG_MAP_CHANGE_FAILED = 25,
    LANG_ERR_MOUSE = 26,
    LANG_ERR_PROGRAM_PATH = 27,
    LANG_MASTER_SEND_FAILED = 28,
    LANG_ERR_CPU_RENDERER = 29,
    LANG_ERR_WINDOW = 30,
    LANG_KILL_FALL = 31,          // %s victim
    LANG_FOG_SET = 32,            // %d red, %d green, %d blue
    LANG_GENERATING_MAP = 33,
    LANG_CAUSE_GRENADE = 34,
    LANG_INTEL_TAKEN = 35,        // %s player, %s team whose intel it is
    LANG_YOU_ARE_ADMIN = 36,
    LANG_CAUSE_HEADSHOT = 37,
    LANG_ASK_MAP = 38,
    LANG_UNKNOWN_COMMAND = 39,
    LANG_ERR_MODEL_SIZE = 40,
    LANG_MAP_NOT_FOUND = 41,
    LANG_ADMIN_GRANTED = 42,      // %s player
    LANG_PLAYER_JOINED = 43,      // %s player, %s team
    LANG_LOADING_MAP = 44,
    LANG_MAP_CHANGE_SCHEDULED = 45, // %s map name, %d seconds
    LANG_ASK_PLAYERS = 46,
    LANG_VOTES_NEEDED = 47,       // %d votes still missing
    LANG_MAP_CHANGED = 48,
    LANG_PUBLIC_IP_FAILED = 49,
    LANG_SERVER_STARTED = 50,     // %d port
    LANG_RESERVED_51 = 51,
    LANG_PLAYER_BANNED = 52,      // %s player
    LANG_PLAYER_CONNECTED = 53,   // %d slot, %s dotted address
    LANG_PLAYER_LEFT = 54,        // %s player
    LANG_PLAYER_KICKED = 55,      // %s player
    LANG_ID_BANNED = 56,          // %d player id
    LANG_ID_LEFT = 57,            // %d player id
    LANG_ID_KICKED = 58,          // %d player id
    LANG_QUIT_PROMPT = 59,
    LANG_DOWNLOAD_CANCELLED = 60,
    LANG_MAGAZINE_EMPTY = 61,
    LANG_RESPAWN_LABEL = 62,      // drawn as "%s:%d" with the seconds left
    LANG_CAUSE_SEMI = 63,
    LANG_MAP_SAVED = 64,
    LANG_TEAM_CHOICE = 65,        // %d key, %s team name
    LANG_WEAPON_CHOICE = 66,      // %d key
    LANG_MASTER_CONNECTED = 67,
    LANG_MASTER_REGISTERED = 68,
    LANG_CONSOLE_HELP = 69,
    LANG_ERR_CONNECT = 70,
    LANG_DISCONNECTED = 71,
    LANG_PUBLIC_IP = 72,          // %u address as one 32-bit number (the client's address argument)
    LANG_ASK_SERVER_NAME = 73,
    LANG_QUIT_HINT = 74,
    LANG_RESERVED_75 = 75,
    LANG_CAUSE_SHOTGUN = 76,
    LANG_CAUSE_SMG = 77,
    LANG_CAUSE_SPADE = 78,
    LANG_SPECTATOR_CHOICE = 79,   // %d key
    LANG_CAPTURING = 80,          // %s team, %s sector
    LANG_COMPRESSION_ON = 81,
    LANG_FOLLOWING = 82,
    LANG_RESERVED_83 = 83,
    LANG_KILL_WEAPON_CHANGE = 84, // %s victim
    LANG_TEAM_WINS = 85,          // %s team
    LANG_RESERVED_86 = 86,
    LANG_ERR_MAP_DATA = 87,
    LANG_VOLUME = 88,             // %d level 0..10
    LANG_VOTEKICK_STARTED = 89,   // %s target
    LANG_VOTE_TIMED_OUT = 90,
    LANG_YES_NO_LETTERS = 91,     // four letters: yes upper, yes lower, no upper, no lower
    LANG_MAP_REFUSED = 92,        // %s map name, %s reason (one of the three below, formatted)
    LANG_MAP_TOO_LARGE = 93,      // %s file size in bytes, %s the largest map in bytes
    LANG_MAP_UNREADABLE = 94,     // %s the system's reason
    LANG_MAP_INVALID = 95,        // %s what is wrong with the columns
    LANG_MAP_CHANGE_CANCELLED = 96, // %s map name, %s reason
    LANG_BAD_PORT = 97,           // %s the setting's value as written
    LANG_SOUND_OFF = 98,         // client, on standard error: no sound device at start
    LANG_ERR_BAD_ADDRESS = 99,   // %s the address text as given
    LANG_MAP_MISSING = 100,        // %s the file's path
    LANG_MAP_BAD_NAME = 101,
    LANG_PLAYER_JOINED_TEAM = 102, // %d player id, %s name, %s team
    LANG_HOST_CREATE_FAILED = 103, // %d port, %s the system's reason
    LANG_BAD_LANGUAGE = 104,      // %s the setting's value as written
    LANG_SETTINGS_MISSING = 105,  // %s the settings file's path
    LANG_LANGUAGE_FILE_FAILED = 106, // %s the path tried
    LANG_COUNT = 107,
};

// The printf conversions that callers pass for a string, in order, e.g. "%s%s%s"
// for LANG_KILL_LINE; "" for plain texts and for ids outside 0..LANG_COUNT-1.
const char *lang_signature(int id);
