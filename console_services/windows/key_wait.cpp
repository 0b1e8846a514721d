// The console keyboard: "CONIN$" (the keyboard even when standard input is
// redirected), read one input event at a time in mode 0, so there is no
// line editing, no echo and Ctrl+C arrives as a key.
#include "../console_services.h"

#include <cstdint>
#include <windows.h>

static HANDLE console_input = INVALID_HANDLE_VALUE;

void console_open()
{
    console_input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
}

void console_close()
{
    if (console_input != INVALID_HANDLE_VALUE)
        CloseHandle(console_input);
    console_input = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------
// Keys that send no character: the code each one gives alone, with Shift,
// with Ctrl and with Alt.  The codes are the PC keyboard's scan code in the
// high byte and its character (or 0, or 0xE0 for the grey keys) in the low
// byte.  NO_KEY marks a combination the keyboard does not report as a key,
// so the wait goes on.

constexpr std::int16_t NO_KEY = -1;

// Codes of 0x8000 and above are kept as the same 16 bits.
constexpr std::int16_t code(unsigned value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

struct KeyRow {
    std::int16_t virtual_key, plain, shift, ctrl, alt;
};

#define K(vk, plain, shift, ctrl, alt) {code(vk), code(plain), code(shift), code(ctrl), code(alt)}
#define N 0xFFFFu

static const KeyRow KEY_TABLE[] = {
    K(VK_BACK, 0x0E08, 0x0E08, 0x0E7F, 0x0E00),
    K(VK_TAB, 0x0F09, 0x0F00, 0x9400, 0xA500),
    K(VK_RETURN, 0x1C0D, 0x1C0D, 0x1C0A, 0x1C00),
    K(VK_ESCAPE, 0x011B, 0x011B, 0x011B, 0x0100),
    K(VK_SPACE, 0x3920, 0x3920, 0x3920, 0x3920),
    // Digits of the main block: Ctrl gives a key only with 2 (NUL) and 6 (RS).
    K('0', 0x0B30, 0x0B29, N, 0x8100),
    K('1', 0x0231, 0x0221, N, 0x7800),
    K('2', 0x0332, 0x0340, 0x0300, 0x7900),
    K('3', 0x0433, 0x0423, N, 0x7A00),
    K('4', 0x0534, 0x0524, N, 0x7B00),
    K('5', 0x0635, 0x0625, N, 0x7C00),
    K('6', 0x0736, 0x075E, 0x071E, 0x7D00),
    K('7', 0x0837, 0x0826, N, 0x7E00),
    K('8', 0x0938, 0x092A, N, 0x7F00),
    K('9', 0x0A39, 0x0A28, N, 0x8000),
    K('A', 0x1E61, 0x1E41, 0x1E01, 0x1E00),
    K('B', 0x3062, 0x3042, 0x3002, 0x3000),
    K('C', 0x2E63, 0x2E43, 0x2E03, 0x2E00),
    K('D', 0x2064, 0x2044, 0x2004, 0x2000),
    K('E', 0x1265, 0x1245, 0x1205, 0x1200),
    K('F', 0x2166, 0x2146, 0x2106, 0x2100),
    K('G', 0x2267, 0x2247, 0x2207, 0x2200),
    K('H', 0x2368, 0x2348, 0x2308, 0x2300),
    K('I', 0x1769, 0x1749, 0x1709, 0x1700),
    K('J', 0x246A, 0x244A, 0x240A, 0x2400),
    K('K', 0x256B, 0x254B, 0x250B, 0x2500),
    K('L', 0x266C, 0x264C, 0x260C, 0x2600),
    K('M', 0x326D, 0x324D, 0x320D, 0x3200),
    K('N', 0x316E, 0x314E, 0x310E, 0x3100),
    K('O', 0x186F, 0x184F, 0x180F, 0x1800),
    K('P', 0x1970, 0x1950, 0x1910, 0x1900),
    K('Q', 0x1071, 0x1051, 0x1011, 0x1000),
    K('R', 0x1372, 0x1352, 0x1312, 0x1300),
    K('S', 0x1F73, 0x1F53, 0x1F13, 0x1F00),
    K('T', 0x1474, 0x1454, 0x1414, 0x1400),
    K('U', 0x1675, 0x1655, 0x1615, 0x1600),
    K('V', 0x2F76, 0x2F56, 0x2F16, 0x2F00),
    K('W', 0x1177, 0x1157, 0x1117, 0x1100),
    K('X', 0x2D78, 0x2D58, 0x2D18, 0x2D00),
    K('Y', 0x1579, 0x1559, 0x1519, 0x1500),
    K('Z', 0x2C7A, 0x2C5A, 0x2C1A, 0x2C00),
    // Punctuation of the main block (US layout): Ctrl gives a key only with
    // - [ \ ] (control characters 0x1F, ESC, FS, GS).
    K(VK_OEM_1, 0x273B, 0x273A, N, 0x2700),      // ; :
    K(VK_OEM_PLUS, 0x0D3D, 0x0D2B, N, 0x8300),   // = +
    K(VK_OEM_COMMA, 0x332C, 0x333C, N, 0x3300),  // , <
    K(VK_OEM_MINUS, 0x0C2D, 0x0C5F, 0x0C1F, 0x8200), // - _
    K(VK_OEM_PERIOD, 0x342E, 0x343E, N, 0x3400), // . >
    K(VK_OEM_2, 0x352F, 0x353F, N, 0x3500),      // / ?
    K(VK_OEM_3, 0x2960, 0x297E, N, 0x2900),      // ` ~
    K(VK_OEM_4, 0x1A5B, 0x1A7B, 0x1A1B, 0x1A00), // [ {
    K(VK_OEM_5, 0x2B5C, 0x2B7C, 0x2B1C, 0x2B00), // \ |
    K(VK_OEM_6, 0x1B5D, 0x1B7D, 0x1B1D, 0x1B00), // ] }
    K(VK_OEM_7, 0x2827, 0x2822, N, 0x2800),      // ' "
    // The grey movement and editing keys.
    K(VK_PRIOR, 0x49E0, 0x49E0, 0x84E0, 0x9900),
    K(VK_NEXT, 0x51E0, 0x51E0, 0x76E0, 0xA100),
    K(VK_END, 0x4FE0, 0x4FE0, 0x75E0, 0x9F00),
    K(VK_HOME, 0x47E0, 0x47E0, 0x77E0, 0x9700),
    K(VK_LEFT, 0x4BE0, 0x4BE0, 0x73E0, 0x9B00),
    K(VK_UP, 0x48E0, 0x48E0, 0x8DE0, 0x9800),
    K(VK_RIGHT, 0x4DE0, 0x4DE0, 0x74E0, 0x9D00),
    K(VK_DOWN, 0x50E0, 0x50E0, 0x91E0, 0xA000),
    K(VK_INSERT, 0x52E0, 0x52E0, 0x92E0, 0xA200),
    K(VK_DELETE, 0x53E0, 0x53E0, 0x93E0, 0xA300),
    // The keypad: Alt with a digit starts a character code instead.
    K(VK_NUMPAD0, 0x5230, 0x5200, 0x9200, N),
    K(VK_NUMPAD1, 0x4F31, 0x4F00, 0x7500, N),
    K(VK_NUMPAD2, 0x5032, 0x5000, 0x9100, N),
    K(VK_NUMPAD3, 0x5133, 0x5100, 0x7600, N),
    K(VK_NUMPAD4, 0x4B34, 0x4B00, 0x7300, N),
    K(VK_NUMPAD5, 0x4C35, 0x4C00, 0x8F00, N),
    K(VK_NUMPAD6, 0x4D36, 0x4D00, 0x7400, N),
    K(VK_NUMPAD7, 0x4737, 0x4700, 0x7700, N),
    K(VK_NUMPAD8, 0x4838, 0x4800, 0x8D00, N),
    K(VK_NUMPAD9, 0x4939, 0x4900, 0x8400, N),
    K(VK_MULTIPLY, 0x372A, 0x372A, 0x9600, 0x3700),
    K(VK_ADD, 0x4E2B, 0x4E2B, 0x9000, 0x4E00),
    K(VK_SUBTRACT, 0x4A2D, 0x4A2D, 0x8E00, 0x4A00),
    K(VK_DECIMAL, 0x532E, 0x5300, 0x9300, 0xA300),
    K(VK_DIVIDE, 0x352F, 0x352F, 0x9500, 0xA400),
    K(VK_F1, 0x3B00, 0x5400, 0x5E00, 0x6800),
    K(VK_F2, 0x3C00, 0x5500, 0x5F00, 0x6900),
    K(VK_F3, 0x3D00, 0x5600, 0x6000, 0x6A00),
    K(VK_F4, 0x3E00, 0x5700, 0x6100, 0x6B00),
    K(VK_F5, 0x3F00, 0x5800, 0x6200, 0x6C00),
    K(VK_F6, 0x4000, 0x5900, 0x6300, 0x6D00),
    K(VK_F7, 0x4100, 0x5A00, 0x6400, 0x6E00),
    K(VK_F8, 0x4200, 0x5B00, 0x6500, 0x6F00),
    K(VK_F9, 0x4300, 0x5C00, 0x6600, 0x7000),
    K(VK_F10, 0x4400, 0x5D00, 0x6700, 0x7100),
    K(VK_F11, 0x8500, 0x8700, 0x8900, 0x8B00),
    K(VK_F12, 0x8600, 0x8800, 0x8A00, 0x8C00),
    K(N, N, N, N, N), // end of table
};

#undef K
#undef N

static_assert(sizeof KEY_TABLE / sizeof KEY_TABLE[0] == 89 + 1, "89 keys and the end row");

static const KeyRow *find_key_row(WORD virtual_key)
{
    for (const KeyRow *row = KEY_TABLE; row->virtual_key != NO_KEY; row++)
        if (row->virtual_key == static_cast<std::int16_t>(virtual_key))
            return row;
    return nullptr;
}

// The column for the modifiers held: Alt over Ctrl over Shift over none.
static std::int16_t code_for_modifiers(const KeyRow *row, DWORD modifiers)
{
    if (modifiers & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED))
        return row->alt;
    if (modifiers & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED))
        return row->ctrl;
    if (modifiers & SHIFT_PRESSED)
        return row->shift;
    return row->plain;
}

// The key code of one input event, or NO_KEY when the event does not end
// the wait: not a key, a release, a modifier alone or an unlisted key.
static int key_code_of(const INPUT_RECORD &event)
{
    if (event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown)
        return NO_KEY;
    const KEY_EVENT_RECORD &key = event.Event.KeyEvent;
    if (key.uChar.AsciiChar != 0)
        return static_cast<unsigned char>(key.uChar.AsciiChar);
    const KeyRow *row = find_key_row(key.wVirtualKeyCode);
    if (!row)
        return NO_KEY;
    std::int16_t value = code_for_modifiers(row, key.dwControlKeyState);
    return value == NO_KEY ? NO_KEY : static_cast<std::uint16_t>(value);
}

static int read_one_key()
{
    for (;;) {
        INPUT_RECORD event;
        DWORD count = 0;
        if (!ReadConsoleInputA(console_input, &event, 1, &count))
            return NO_KEY;
        if (count == 1) {
            int key = key_code_of(event);
            if (key != NO_KEY)
                return key;
        }
    }
}

int key_wait()
{
    DWORD held_mode = 0;
    if (!GetConsoleMode(console_input, &held_mode) || !SetConsoleMode(console_input, 0))
        return NO_KEY;
    int key = read_one_key();
    if (!SetConsoleMode(console_input, held_mode))
        return NO_KEY;
    return key;
}
