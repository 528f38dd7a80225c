#include "tests/support/RealPointer.h"

#include "tests/support/MessageLoop.h"

#ifdef _WIN32
#include <string_view>

#include <windows.h>
#endif

namespace RealPointer
{
#ifdef _WIN32
// xdotool cannot serve here: started from a Windows program under Wine, its output never reaches
// the caller, which waits forever.
bool available() { return true; }
const char* const unavailable = "";

namespace
{
    void press (DWORD button)
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = button;
        SendInput (1, &input, sizeof (input));
    }

    BOOL CALLBACK collectMenu (HWND window, LPARAM found)
    {
        wchar_t title[8]{};
        RECT r{};

        if (IsWindowVisible (window) && GetWindowTextW (window, title, (int) std::size (title)) == 4 && std::wstring_view (title) == L"menu" && GetWindowRect (window, &r))
            reinterpret_cast<std::vector<juce::Rectangle<int>>*> (found)->push_back ({ r.left, r.top, r.right - r.left, r.bottom - r.top });

        return TRUE;
    }
} // namespace

void moveTo (juce::Point<int> p)
{
    // The position itself, then a move of no distance as the mouse reports it, so that the window
    // under the pointer hears of it as of a real move.
    SetCursorPos (p.x, p.y);
    press (MOUSEEVENTF_MOVE);
    MessageLoop::pump (150);
}

void click (juce::Point<int> p)
{
    moveTo (p);
    press (MOUSEEVENTF_LEFTDOWN);
    press (MOUSEEVENTF_LEFTUP);
    MessageLoop::pump (300);
}

std::vector<juce::Rectangle<int>> menuWindows()
{
    std::vector<juce::Rectangle<int>> found;
    EnumWindows (collectMenu, reinterpret_cast<LPARAM> (&found));
    return found;
}
#else
namespace
{
    const juce::String xdotool = "/usr/bin/xdotool";

    /** Runs xdotool to its end and returns what it printed. */
    juce::String run (const juce::StringArray& arguments)
    {
        auto command = arguments;
        command.insert (0, xdotool);
        juce::ChildProcess process;

        if (! process.start (command))
            return {};

        const auto output = process.readAllProcessOutput();
        process.waitForProcessToFinish (10000);
        return output;
    }
} // namespace

bool available() { return juce::File (xdotool).existsAsFile(); }
const char* const unavailable = "xdotool is not installed (scripts/common.sh installs it)";

void moveTo (juce::Point<int> p)
{
    run ({ "mousemove", juce::String (p.x), juce::String (p.y) });
    MessageLoop::pump (150);
}

void click (juce::Point<int> p)
{
    moveTo (p);
    run ({ "click", "1" });
    MessageLoop::pump (300);
}

std::vector<juce::Rectangle<int>> menuWindows()
{
    std::vector<juce::Rectangle<int>> found;
    const auto ids = juce::StringArray::fromLines (run ({ "search", "--onlyvisible", "--name", "^menu$" }).trim());

    for (const auto& id : ids)
    {
        if (id.isEmpty())
            continue;

        // "X=..", "Y=..", "WIDTH=..", "HEIGHT=.." lines.
        const auto lines = juce::StringArray::fromLines (run ({ "getwindowgeometry", "--shell", id }));
        auto value = [&] (const char* key)
        {
            for (const auto& line : lines)
                if (line.startsWith (juce::String (key) + "="))
                    return line.fromFirstOccurrenceOf ("=", false, false).getIntValue();

            return 0;
        };

        found.push_back ({ value ("X"), value ("Y"), value ("WIDTH"), value ("HEIGHT") });
    }

    return found;
}
#endif
} // namespace RealPointer
