// The sample commands of the context and main menus, in minihost's menus, with the component
// in-process and popups recorded.
#include <gtest/gtest.h>

#include "host/digest.h"
#include "host/http.h"
#include "host/service_lookup.h"
#include "sample/commands/capture_state.h"
#include "sample/commands/context_commands.h"
#include "sample/commands/main_commands.h"
#include "tests/component/sample_fixture.h"

namespace {

using test_support::shown_popup;

std::string hex_of(const GUID& guid) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&guid);
    std::string text;
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) text += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return text;
}

class ComponentMenus : public test_support::component_test {
protected:
    ComponentMenus() : component_test("menus") {}

    // Tracks made by the host for these locations; an empty path stands for a track that is gone.
    metadb_handle_list tracks(std::initializer_list<std::pair<const char*, uint32_t>> locations) {
        metadb_handle_list list;
        for (const auto& [path, subsong] : locations)
            list.add_item(*path ? host.tracks().handle(path, subsong) : metadb_handle_ptr());
        return list;
    }
    void run_context(const char* path, const metadb_handle_list& selection) {
        test_support::run_context_item(host, path, selection);
    }
    void run_main(const char* path) { test_support::run_main_command(host, path); }

    test_support::popup_recorder recorder{host};
};

TEST_F(ComponentMenus, TestCommandCountsTheSelectionAndWritesOneLinePerTrack) {
    const auto first_item = [&](const metadb_handle_list& selection) {
        const minihost::menu_node menu = minihost::build_context_menu(host, selection, contextmenu_caller_playlist);
        for (const minihost::menu_node& item : menu.children.at(0).children) EXPECT_EQ(item.flags, 0u) << item.text;
        return menu.children.at(0).text + "/" + menu.children.at(0).children.at(0).text;
    };
    EXPECT_EQ(first_item(tracks({{"a.mod", 0}})), "Sample component/Test command : 1 item selected");
    EXPECT_EQ(first_item(tracks({{"a.mod", 0}, {"", 0}})), "Sample component/Test command : 2 items selected");
    // An empty selection hides every item, and with them the group.
    EXPECT_TRUE(minihost::build_context_menu(host, {}, contextmenu_caller_playlist).children.empty());

    run_context("Sample component/Test command",
                tracks({{"file://C:\\music\\a.mod", 0}, {"file://C:\\music\\b.xm", 2}, {"", 0}, {"ftp://x/c.s3m", 0}}));
    EXPECT_EQ(recorder.popups(), (std::vector<shown_popup>{{"Blah",
                                                            "This is a test command.\nParameters:\n"
                                                            "\"C:\\music\\a.mod\"\n"
                                                            "\"C:\\music\\b.xm\" / index: 2\n"
                                                            "[invalid location]\n"
                                                            "\"ftp://x/c.s3m\"\n",
                                                            popup_icon_information}}));
    // A request for a node of the command other than the command itself does nothing.
    auto items = service_create_at_t<contextmenu_item>(host, 0);
    ASSERT_TRUE(items);
    items->item_execute_simple(0, contextmenu_caller_now_playing, tracks({{"a.mod", 0}}), contextmenu_caller_playlist);
    EXPECT_EQ(recorder.popups().size(), 1u);
    EXPECT_EQ(ambrel::test_command_text({}), "This is a test command.\n");
}

TEST_F(ComponentMenus, ManagerNumbersTheCommandsOfItsMenuInMenuOrder) {
    auto manager = service_lookup_one_t<contextmenu_manager>(host);
    EXPECT_NE(manager.get(), service_lookup_one_t<contextmenu_manager>(host).get());  // one per request
    manager->init_context(tracks({{"a.mod", 3}}), 0);
    zorb::string8 description;
    ASSERT_TRUE(manager->get_description_by_id(1, description));
    EXPECT_TRUE(description.str().find("peak") != std::string::npos) << description.str();  // the second command's
    EXPECT_FALSE(manager->get_description_by_id(10, description));
    EXPECT_FALSE(manager->execute_by_id(10));
    EXPECT_TRUE(manager->execute_by_id(0));
    EXPECT_EQ(recorder.popups(),
              (std::vector<shown_popup>{
                  {"Blah", "This is a test command.\nParameters:\n\"a.mod\" / index: 3\n", popup_icon_information}}));
    manager->init_context({}, 0);
    EXPECT_FALSE(manager->execute_by_id(0));
}

#ifndef _WIN32
// Without windows the demo windows cannot open (under Wine they do: tests/win/gui_test.cpp,
// dialog_test.cpp and threads_demo_test.cpp), and they say so instead of doing nothing.
TEST_F(ComponentMenus, DemoWindowsReportThatTheyAreNotImplementedWithoutWindows) {
    const metadb_handle_list selection = tracks({{"a.mod", 0}});
    EXPECT_EQ(test_support::failure_text([&] { run_context("UI and threads demo", selection); }),
              "Feature not implemented");
    for (const char* command : {"Playback state demo", "Simple CListControl demo", "Owner-data CListControl demo",
                                "Advanced CListControl demo"})
        EXPECT_EQ(test_support::failure_text([&] { run_main(command); }), "Feature not implemented") << command;
    EXPECT_TRUE(recorder.popups().empty());
}
#endif

TEST_F(ComponentMenus, MainCommandsRunAndCaptureIsTickedWhileCaptureRuns) {
    run_main("Sample component/Test command");
    run_main("Sample component/Dynamic menu test group/Test dynamic item #3");
    EXPECT_EQ(recorder.popups(),
              (std::vector<shown_popup>{{"Blah", "This is a sample menu command.", popup_icon_information},
                                        {"Information", "Invoked test menu item #3", popup_icon_information}}));
    for (const bool active : {true, false}) {
        ambrel::set_capture_active(active);
        const minihost::menu_node menu = minihost::build_main_menu(host);
        const minihost::menu_node& capture = minihost::find_menu_command(menu, "Playback stream capture demo", "");
        EXPECT_EQ(capture.flags, active ? minihost::menu_flag_checked : 0u);
        EXPECT_EQ(minihost::find_menu_command(menu, "I/O test", "").flags, 0u);
    }
}

TEST_F(ComponentMenus, DynamicItemsAreDigestsOfTheirNumberSearchedDepthFirst) {
    service_ptr_t<mainmenu_commands_v2> dynamic;
    for (size_t i = 0; i < service_count_t<mainmenu_commands>(host) && !dynamic; ++i)
        if (auto commands = service_create_at_t<mainmenu_commands>(host, i).query_as<mainmenu_commands_v2>())
            if (commands->is_command_dynamic(0)) dynamic = commands;
    ASSERT_TRUE(dynamic);
    zorb::string8 shown;
    uint32_t flags = ~0u;
    EXPECT_TRUE(dynamic->get_display(0, shown, flags));
    EXPECT_EQ(flags, 0u);  // neither ticked nor greyed, whatever the caller's variable held
    service_ptr_t<mainmenu_node> group = dynamic->dynamic_instantiate(0);
    ASSERT_EQ(group->get_children_count(), 11u);
    for (size_t i = 0; i < 11; ++i)
        EXPECT_EQ(group->get_child(i)->get_type(), i % 2 ? mainmenu_node::type_separator : mainmenu_node::type_command);
    // MD5 of the number as 4 little-endian bytes, worked out apart from this code.
    EXPECT_EQ(hex_of(group->get_child(0)->get_guid()), "4352d88a78aa39750bf70cd6f27bcaa5");
    EXPECT_EQ(hex_of(group->get_child(4)->get_guid()), "edcfae989540fd42e4b8556d5b723bb6");
    EXPECT_THROW(group->get_child(0)->get_child(0), zorb::exception_invalid_params);
    EXPECT_THROW(group->get_child(1)->get_child(0), zorb::exception_invalid_params);
    EXPECT_THROW(group->get_child(11), zorb::exception_invalid_params);

    EXPECT_TRUE(dynamic->dynamic_execute(0, group->get_child(10)->get_guid(), {}));
    EXPECT_FALSE(dynamic->dynamic_execute(0, GUID{}, {}));
    EXPECT_EQ(recorder.popups(),
              (std::vector<shown_popup>{{"Information", "Invoked test menu item #6", popup_icon_information}}));
}

#ifndef _WIN32
// Builds without a system HTTP client have no web client of their own, so one can stand in.
class fake_web_client : public http_client {
public:
    class request : public http_request {
    public:
        explicit request(fake_web_client& client) : client_(client) {}
        void add_header(const char*, const char*) override {}
        service_ptr_t<file> run(const char* url, abort_callback&) override {
            client_.asked.push_back(client_.method + " " + url);
            if (!client_.failure.empty()) throw velmora_io::exception_io(client_.failure);
            return {};
        }

    private:
        fake_web_client& client_;
    };
    service_ptr_t<http_request> create_request(const char* requested) override {
        method = requested;
        return service_ptr_t<http_request>(new service_impl_t<request>(*this));
    }
    std::string method, failure;
    std::vector<std::string> asked;
};

TEST(NetworkTest, AsksForTheHomePageAndCarriesTheFailureText) {
    test_support::scratch_folder folder("network-test");
    minihost::host host(folder.file("config.bin"));
    test_support::popup_recorder recorder(host);
    service_ptr_t<fake_web_client> web(new service_impl_t<fake_web_client>());
    host.add_service(http_client::class_guid, web);
    test_support::start_component(host);
    ambrel::run_network_test(ambrel::network_test_url);
    web->failure = "Cannot connect";
    ambrel::run_network_test(ambrel::network_test_url);
    EXPECT_EQ(web->asked, (std::vector<std::string>{"GET https://www.velmora.org/", "GET https://www.velmora.org/"}));
    EXPECT_EQ(
        recorder.popups(),
        (std::vector<shown_popup>{{"Information", "Network test OK", popup_icon_information},
                                  {"Information", "Network test failure:\nCannot connect", popup_icon_information}}));
}

TEST_F(ComponentMenus, NetworkTestWithoutAWebClientReportsTheMissingService) {
    run_main("Sample component/I/O test");
    EXPECT_EQ(recorder.popups(), (std::vector<shown_popup>{{"Information", "Network test failure:\nService not found",
                                                            popup_icon_information}}));
}

TEST(MenuIndexes, BeyondTheLastCommandAreProgrammingErrors) {
    zorb::string8 out;
    service_impl_single_t<ambrel::myitem> context;
    service_impl_single_t<ambrel::mainmenu_commands_sample> main;
    EXPECT_DEATH(context.get_item_name(6, out), "uBugCheck");
    EXPECT_DEATH(main.get_command(7), "uBugCheck");
    EXPECT_FALSE(main.get_description(7, out));
}
#endif

}  // namespace
