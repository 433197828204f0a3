// The component's menus through minihost.exe and the real DLL under Wine: context and main-menu
// commands, script sessions, the web client over WinHTTP against a loopback server of the test's
// own, and popups as message boxes.
#include <gtest/gtest.h>

// Winsock first: windows.h would bring in the old one.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "host/contextmenu.h"
#include "host/http.h"
#include "host/service_lookup.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/popup.h"
#include "tests/component/input_fixture.h"
#include "tests/win/component_run.h"
#include "zorb/unicode.h"

namespace {

using namespace test_support;

const std::string component_path = beside_executable("kiv_ambrel.dll");

// An HTTP server on a loopback port: answers every connection with `response` and keeps the head of
// each request (its lines without their final blank one).
class loopback_server {
public:
    explicit loopback_server(std::string response) : response_(std::move(response)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 4);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~loopback_server() {
        closesocket(listener_);  // ends the blocked accept
        thread_.join();
        WSACleanup();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // A loopback port that nothing listens on.
    static std::string closed_url() {
        loopback_server gone("");
        return gone.url();
    }

private:
    void serve() {
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<size_t>(got));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request.substr(0, request.find("\r\n\r\n")));
            }
            send(client, response_.data(), static_cast<int>(response_.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::string response_;
    SOCKET listener_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

const std::string ok_response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
const std::string home_page = "https://www.velmora.org/";

// The path of a demo song as the host shows it.
std::string shown_path(const std::string& name) {
    std::string path = demo_song(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class MenuCommands : public ::testing::Test {
protected:
    scratch_folder folder{std::string("menus-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::string profile = "--profile " + folder.file("profile") + " ";
};

TEST_F(MenuCommands, TestCommandShowsEveryTrackOfTheSelection) {
    const minihost_run run = run_minihost_with_status(profile + "context run \"Test command\" " +
                                                      demo_song("demo.mod") + " " + demo_song("demo.xm"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("[popup] Blah: This is a test command.\nParameters:\n\"" + shown_path("demo.mod") +
                              "\"\n\"" + shown_path("demo.xm") + "\"\n\n"),
              std::string::npos)
        << run.output;
    // Without a selection every item is hidden, so there is none to run.
    const minihost_run none = run_minihost_with_status(profile + "context run \"Test command\"", true);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("minihost: No context-menu item for this selection named Test command\n"),
              std::string::npos)
        << none.output;
}

TEST_F(MenuCommands, MainMenuListsTheSampleGroup) {
    const std::string listed = run_minihost(profile + "menu list");
    EXPECT_NE(listed.find("Tools\n  Sample component\n    Test command\n    Playback state demo\n    I/O test\n"),
              std::string::npos)
        << listed;
    EXPECT_NE(listed.find("    Dynamic menu test group\n      Test dynamic item #1\n      ----\n"), std::string::npos);
}

TEST_F(MenuCommands, NetworkTestReachesTheMappedServerOrCarriesTheFailure) {
    loopback_server server(ok_response);
    const std::string test = profile + "menu run \"Sample component/I/O test\" --web-map ";
    EXPECT_NE(run_minihost(test + home_page + "=" + server.url()).find("[popup] Information: Network test OK\n"),
              std::string::npos);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET / HTTP/1.1\r\n")) << server.requests()[0];

    const std::string failed = run_minihost(test + "*=" + loopback_server::closed_url());
    const std::string prefix = "[popup] Information: Network test failure:\n";
    const size_t at = failed.find(prefix);
    ASSERT_NE(at, std::string::npos) << failed;
    const std::string reason =
        failed.substr(at + prefix.size(), failed.find('\n', at + prefix.size()) - at - prefix.size());
    // The system's own words for the failure.
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(reason.starts_with("Windows error")) << reason;
}

TEST_F(MenuCommands, ScriptRunsItsLinesInOneSessionAndStopsAtTheFirstFailure) {
    loopback_server server(ok_response);
    const std::string script = folder.file("script.txt");
    std::ofstream(zorb::native_path(script), std::ios::binary)
        << ("# the session's web map fails; the third line maps the test to the server\n"
            "menu run \"Sample component/I/O test\"\r\n"
            "\n"
            "menu run \"Sample component/I/O test\" --web-map " +
            home_page + "=" + server.url() +
            "\n"
            "menu run \"Test dynamic item #3\"\n"
            "menu run \"Sample component/No such command\"\n"
            "menu list\n");
    const minihost_run run =
        run_minihost_with_status(profile + "--web-map *=" + loopback_server::closed_url() + " script " + script, true);
    EXPECT_EQ(run.status, 1);
    const size_t failure = run.output.find("Network test failure:\n");
    const size_t ok = run.output.find("Network test OK\n");
    const size_t dynamic = run.output.find("[popup] Information: Invoked test menu item #3\n");
    EXPECT_TRUE(failure < ok && ok < dynamic && dynamic != std::string::npos) << run.output;
    EXPECT_NE(run.output.find(script + ":6: the script stops here\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Tools\n"), std::string::npos);  // the line after the failure never ran
    // The component was loaded once for the whole script.
    EXPECT_EQ(run.output.find("on_init()"), run.output.rfind("on_init()"));
    EXPECT_NE(run.output.find("on_quit()"), std::string::npos);
}

TEST(ContextMenuManager, BuildsAWin32MenuWithIdsFromTheBase) {
    scratch_folder folder("manager-menu");
    component_run run(component_path, folder.file("config.bin"));
    auto manager = service_lookup_one_t<contextmenu_manager>(run.host);
    manager->init_context({run.host.tracks().handle("a.mod", 0)}, 0);
    struct build {
        unsigned max_id;
        int commands;
    };
    for (const build& b : {build{~0u, 10}, build{4, 3}}) {
        HMENU menu = CreatePopupMenu();
        manager->win32_build_menu(menu, 2, b.max_id);
        ASSERT_EQ(GetMenuItemCount(menu), 1);
        HMENU group = GetSubMenu(menu, 0);
        wchar_t text[64] = {};
        GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
        EXPECT_EQ(zorb::utf8_from_wide(text), "Sample component");
        ASSERT_EQ(GetMenuItemCount(group), b.commands) << b.max_id;
        GetMenuStringW(group, 0, text, 64, MF_BYPOSITION);
        EXPECT_EQ(zorb::utf8_from_wide(text), "Test command : 1 item selected");
        for (int i = 0; i < b.commands; ++i) EXPECT_EQ(GetMenuItemID(group, i), UINT(2 + i));
        DestroyMenu(menu);
    }
    // The main menu's dynamic group keeps its separators between the items.
    HMENU bar = CreateMenu();
    minihost::build_win32_menu(bar, minihost::build_main_menu(run.host), 1, ~0u);
    HMENU dynamic = GetSubMenu(GetSubMenu(GetSubMenu(bar, 0), 0), 7);
    ASSERT_NE(dynamic, nullptr);
    ASSERT_EQ(GetMenuItemCount(dynamic), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ((GetMenuState(dynamic, i, MF_BYPOSITION) & MF_SEPARATOR) != 0, i % 2 == 1) << i;
    DestroyMenu(bar);
}

TEST(WebClient, ReturnsTheBodyOrTheStatusLineOfAnError) {
    scratch_folder folder("web-client");
    component_run run(component_path, folder.file("config.bin"));
    auto client = service_lookup_one_t<http_client>(run.host);
    abort_callback_dummy abort;
    loopback_server server(ok_response);
    service_ptr_t<http_request> request = client->create_request("GET");
    request->add_header("X-Asked-By", "kiv_ambrel");
    service_ptr_t<file> body = request->run((server.url() + "page?x=1").c_str(), abort);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET /page?x=1 HTTP/1.1\r\n")) << server.requests()[0];
    EXPECT_NE(server.requests()[0].find("\r\nX-Asked-By: kiv_ambrel"), std::string::npos);
    char text[16] = {};
    EXPECT_EQ(body->get_size(abort), 5u);
    EXPECT_EQ(body->read(text, sizeof text, abort), 5u);
    EXPECT_STREQ(text, "hello");
    EXPECT_THROW(body->write("x", 1, abort), velmora_io::exception_io_denied);

    loopback_server missing("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(failure_text([&] { client->create_request("GET")->run(missing.url().c_str(), abort); }),
              "HTTP 404 Not Found");
}

// Sets *found when `child` shows the system's error icon.
BOOL CALLBACK find_error_icon(HWND child, LPARAM found) {
    const HICON error_icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32513));  // IDI_ERROR
    if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == error_icon)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

TEST(Popups, WindowSessionShowsAMessageBoxWithTheIconOfItsCode) {
    scratch_folder folder("message-box");
    minihost::host host(folder.file("config.bin"));
    std::string text;
    bool error_icon = false;
    std::atomic<bool> found{false};
    std::thread driver([&] {
        for (int attempt = 0; attempt < 1000 && !found; ++attempt) {
            HWND box = FindWindowW(L"#32770", L"Popup title");
            if (box == nullptr || !IsWindowVisible(box)) {
                Sleep(10);
                continue;
            }
            found = true;
            wchar_t shown[64] = {};
            GetDlgItemTextW(box, 0xFFFF, shown, 64);
            text = zorb::utf8_from_wide(shown);
            EnumChildWindows(box, find_error_icon, reinterpret_cast<LPARAM>(&error_icon));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    minihost::message_box_popups(host)("Popup title", "first line\nsecond line", popup_icon_error);
    driver.join();
    ASSERT_TRUE(found);
    EXPECT_EQ(text, "first line\nsecond line");
    EXPECT_TRUE(error_icon);
}

}  // namespace

TEST_F(MenuCommands, CaptureOfFiveSecondsPlayedEqualsWhatPlayWrites) {
    const std::string captures = folder.file("captures");
    std::filesystem::create_directories(zorb::native_path(captures));
    const std::string script = folder.file("capture.txt");
    std::ofstream(zorb::native_path(script), std::ios::binary)
        << ("menu run \"Sample component/Playback stream capture demo\" --folder " + captures +
            "\n"
            "playback " +
            demo_song("demo.xm") +
            " --seconds 5 --fast\n"
            "menu run \"Sample component/Playback stream capture demo\"\n");
    const minihost_run run = run_minihost_with_status(profile + "script " + script, true);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[playback] new track: \""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[playback] time: 0:05\n[playback] stop: stopped\n[playback] 220500 frames played\n"),
              std::string::npos)
        << run.output;

    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(zorb::native_path(captures)))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    const std::string name = zorb::utf8_path(files[0].filename());
    EXPECT_TRUE(name.starts_with("capture-") && name.ends_with(".wav") && name.size() == 8 + 36 + 4) << name;
    const std::vector<uint8_t> captured = read_bytes(zorb::utf8_path(files[0]));
    ASSERT_EQ(captured.size(), 44u + 220500 * 4);

    const std::string played = folder.file("played.wav");
    ASSERT_EQ(run_minihost_with_status(profile + "play " + demo_song("demo.xm") + " --seconds 5 --out " + played).status,
              0);
    EXPECT_TRUE(read_bytes(played) == captured);
}
