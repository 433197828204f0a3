// The component's menus through minihost.exe and the real DLL under Wine: script sessions, the web
// client over WinHTTP against a loopback server of the test's own, popups as message boxes, the copy
// command on the host's worker threads, the properties window.
#include <gtest/gtest.h>

// Winsock first: windows.h would bring in the old one.
#include <winsock2.h>

#include <windows.h>

#include <cctype>
#include <chrono>
#include <mutex>

#include "host/contextmenu.h"
#include "host/http.h"
#include "host/service_lookup.h"
#include "minihost/host/popup.h"
#include "minihost/host/properties_window.h"
#include "minihost/host/system_message.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

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
    scratch_folder folder{test_folder_name("menus")};
    const std::string profile = "--profile " + folder.file("profile") + " ";
};

// The session's web map fails the first network test with the system's own words; the third line
// maps the test to the server; the fifth fails and ends the script.
TEST_F(MenuCommands, ScriptRunsItsLinesInOneSessionAndStopsAtTheFirstFailure) {
    loopback_server server(ok_response);
    const std::string script = folder.file("script.txt");
    const std::string io_test = "menu run \"Sample component/I/O test\"";
    std::ofstream(zorb::native_path(script), std::ios::binary)
        << "# a comment\n" + io_test + "\r\n\n" + io_test + " --web-map " + home_page + "=" + server.url() +
               "\nmenu run \"Sample component/No such command\"\nmenu list\n";
    const std::string closed_url = loopback_server("").url();  // nothing listens there any more
    const minihost_run run =
        run_minihost_with_status(profile + "--web-map *=" + closed_url + " script " + script, true);
    EXPECT_EQ(run.status, 1);
    const std::string failure_line = "[popup] Information: Network test failure:\n";
    const size_t failure = run.output.find(failure_line);
    const size_t ok = run.output.find("[popup] Information: Network test OK\n");
    ASSERT_TRUE(failure < ok && ok != std::string::npos) << run.output;
    const size_t reason_at = failure + failure_line.size();
    const std::string reason = run.output.substr(reason_at, run.output.find('\n', reason_at) - reason_at);
    EXPECT_TRUE(!reason.empty() && !reason.starts_with("Windows error")) << reason;  // the system's own words
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(contains(run.output, script + ":5: the script stops here\n"));
    EXPECT_FALSE(contains(run.output, "Tools\n"));  // the line after the failure never ran
    // The component was loaded once for the whole script.
    EXPECT_EQ(count_of(run.output, "on_init()"), 1u);
}

using ContextMenuManager = component_dll_test;
TEST_F(ContextMenuManager, BuildsAWin32MenuWithIdsFromTheBase) {
    auto manager = service_lookup_one_t<contextmenu_manager>(run.host);
    manager->init_context({run.host.tracks().handle("a.mod", 0)}, 0);
    for (const auto& [max_id, commands] : {std::pair<unsigned, int>{~0u, 10}, {4, 3}}) {
        HMENU menu = CreatePopupMenu();
        manager->win32_build_menu(menu, 2, max_id);
        ASSERT_EQ(GetMenuItemCount(menu), 1);
        HMENU group = GetSubMenu(menu, 0);
        ASSERT_EQ(GetMenuItemCount(group), commands) << max_id;
        wchar_t text[64] = {};
        GetMenuStringW(group, 0, text, 64, MF_BYPOSITION);
        EXPECT_EQ(zorb::utf8_from_wide(text), "Test command : 1 item selected");
        for (int i = 0; i < commands; ++i) EXPECT_EQ(GetMenuItemID(group, i), UINT(2 + i));
        DestroyMenu(menu);
    }
}

using WebClient = component_dll_test;
TEST_F(WebClient, ReturnsTheBodyOrTheStatusLineOfAnError) {
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
    ASSERT_TRUE(with_modal_dialog(
        L"Popup title",
        [&] { minihost::message_box_popups(host)("Popup title", "first line\nsecond line", popup_icon_error); },
        [&](HWND box) {
            wchar_t shown[64] = {};
            GetDlgItemTextW(box, 0xFFFF, shown, 64);
            text = zorb::utf8_from_wide(shown);
            EnumChildWindows(box, find_error_icon, reinterpret_cast<LPARAM>(&error_icon));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }));
    EXPECT_EQ(text, "first line\nsecond line");
    EXPECT_TRUE(error_icon);
}

class CopyCommandLine : public MenuCommands {
protected:
    std::string make_wav(const std::string& name, size_t bytes) {
        return write_wav(folder.file(name), std::vector<int64_t>(bytes / 2, 0x0707));
    }
    minihost_run copy(const std::string& folder_option, const std::string& files) {
        return run_minihost_with_status(profile + "context run \"Copy files\" --folder " + folder_option + " " + files,
                                        true);
    }
};

TEST_F(CopyCommandLine, FileHeldWithoutSharingIsTriedForASecondThenReportedAndTheOthersAreCopied) {
    const std::string held = make_wav("held.wav", 8), free = make_wav("free.wav", 1200);
    const std::string out = folder.file("out");
    CreateDirectoryA(out.c_str(), nullptr);
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const auto started = std::chrono::steady_clock::now();
    const minihost_run run = copy(out, held + " " + free);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    CloseHandle(holder);
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(seconds, 1.0);
    EXPECT_TRUE(contains(run.output, "[popup] Information: Could not copy: " + held +
                                         ", reason: " + minihost::system_message(ERROR_SHARING_VIOLATION) + "\n"));
    EXPECT_EQ(GetFileAttributesA((out + "\\held.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(read_bytes(out + "\\free.wav"), read_bytes(free));
}

TEST_F(CopyCommandLine, CopyOntoItselfUnderAnotherSpellingLeavesTheFileWhole) {
    const std::string source = make_wav("self.wav", 16);
    const bytes_t before = read_bytes(source);
    std::string shouted = folder.file("");
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](unsigned char c) { return std::toupper(c); });
    const minihost_run run = copy(shouted, source);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.output, "[popup] Information: Could not copy: " + source + ", reason: "));
    EXPECT_EQ(read_bytes(source), before);
}

TEST(PropertiesWindow, ListsEachGroupOnceAboveItsRowsAndCloses) {
    minihost::CPropertiesWindow window({{"Metadata", 0, "artist", "Ann"},
                                        {"Metadata", 1, "title", "<various>"},
                                        {"Sample Component", 13, "Album Comment", "kiv"}});
    window.create(nullptr, false);
    HWND list = static_cast<HWND>(window.list());
    std::string shown;
    for (int row = 0; row < int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++row)
        shown += list_cell(list, row, 0) + "=" + list_cell(list, row, 1) + "|";
    EXPECT_EQ(shown, "Metadata=|    artist=Ann|    title=<various>|Sample Component=|    Album Comment=kiv|");
    SendMessageW(static_cast<HWND>(window.window()), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(window.window(), nullptr);
}

}  // namespace
