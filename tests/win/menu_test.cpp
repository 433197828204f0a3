// The component's menus through minihost.exe and the real DLL under Wine: context and main-menu
// commands, script sessions, the web client over WinHTTP against a loopback server of the test's
// own, and popups as message boxes.
#include <gtest/gtest.h>

// Winsock first: windows.h would bring in the old one.
#include <winsock2.h>

#include <windows.h>

#include <mutex>

#include "host/contextmenu.h"
#include "host/http.h"
#include "host/service_lookup.h"
#include "minihost/host/popup.h"
#include "tests/component/input_fixture.h"
#include "tests/win/component_run.h"

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

class MenuCommands : public ::testing::Test {
protected:
    scratch_folder folder{std::string("menus-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::string profile = "--profile " + folder.file("profile") + " ";
};

// The session's web map fails the first network test with the system's own words; the third line
// maps the test to the server; the fifth fails and ends the script.
TEST_F(MenuCommands, ScriptRunsItsLinesInOneSessionAndStopsAtTheFirstFailure) {
    loopback_server server(ok_response);
    const std::string script = folder.file("script.txt");
    std::ofstream(zorb::native_path(script), std::ios::binary)
        << ("# a comment\nmenu run \"Sample component/I/O test\"\r\n\nmenu run \"Sample component/I/O test\" "
            "--web-map " +
            home_page + "=" + server.url() +
            "\nmenu run \"Test dynamic item #3\"\nmenu run \"Sample component/No such command\"\nmenu list\n");
    const minihost_run run =
        run_minihost_with_status(profile + "--web-map *=" + loopback_server::closed_url() + " script " + script, true);
    EXPECT_EQ(run.status, 1);
    const std::string failure_line = "[popup] Information: Network test failure:\n";
    const size_t failure = run.output.find(failure_line);
    const size_t ok = run.output.find("[popup] Information: Network test OK\n");
    const size_t dynamic = run.output.find("[popup] Information: Invoked test menu item #3\n");
    ASSERT_TRUE(failure < ok && ok < dynamic && dynamic != std::string::npos) << run.output;
    const size_t reason_at = failure + failure_line.size();
    const std::string reason = run.output.substr(reason_at, run.output.find('\n', reason_at) - reason_at);
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(reason.starts_with("Windows error")) << reason;
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET / HTTP/1.1\r\n")) << server.requests()[0];
    EXPECT_TRUE(contains(run.output, script + ":6: the script stops here\n"));
    EXPECT_FALSE(contains(run.output, "Tools\n"));  // the line after the failure never ran
    // The component was loaded once for the whole script.
    EXPECT_EQ(count_of(run.output, "on_init()"), 1u);
    EXPECT_EQ(count_of(run.output, "on_quit()"), 1u);
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
    EXPECT_TRUE(contains(server.requests()[0], "\r\nX-Asked-By: kiv_ambrel"));
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
    const bool found = with_modal_dialog(
        L"Popup title",
        [&] { minihost::message_box_popups(host)("Popup title", "first line\nsecond line", popup_icon_error); },
        [&](HWND box) {
            wchar_t shown[64] = {};
            GetDlgItemTextW(box, 0xFFFF, shown, 64);
            text = zorb::utf8_from_wide(shown);
            EnumChildWindows(box, find_error_icon, reinterpret_cast<LPARAM>(&error_icon));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
    ASSERT_TRUE(found);
    EXPECT_EQ(text, "first line\nsecond line");
    EXPECT_TRUE(error_icon);
}

}  // namespace

TEST_F(MenuCommands, CaptureOfFiveSecondsPlayedIsOneFileNamedByANewGuid) {
    const std::string captures = folder.file("captures");
    std::filesystem::create_directories(zorb::native_path(captures));
    const std::string script = folder.file("capture.txt");
    const std::string capture = "menu run \"Sample component/Playback stream capture demo\"";
    std::ofstream(zorb::native_path(script), std::ios::binary) << capture + " --folder " + captures + "\nplayback " +
                                                                      demo_song("demo.xm") + " --seconds 5 --fast\n" +
                                                                      capture + "\n";
    const minihost_run run = run_minihost_with_status(profile + "script " + script, true);
    EXPECT_EQ(run.status, 0) << run.output;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(zorb::native_path(captures)))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    const std::string name = zorb::utf8_path(files[0].filename());
    EXPECT_TRUE(name.starts_with("capture-") && name.ends_with(".wav") && name.size() == 8 + 36 + 4) << name;
    const std::vector<uint8_t> captured = read_bytes(zorb::utf8_path(files[0]));
    EXPECT_EQ(captured.size(), 44u + 220500 * 4);  // what was played, as the capture tests show
}
