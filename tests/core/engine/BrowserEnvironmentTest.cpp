// The browser environment module in both engines: what site code sees of window, document,
// navigator, location, storage, timers, base64 and the functions' text, and its profile.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/engine/BrowserEnvironment.h"
#include "core/json/JsonDocument.h"
#include "support/LoaderFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

using Steps = std::vector<std::pair<std::string, std::string>>;

// Each case runs in a fresh load; its steps are evaluated one by one (the environment
// settles after each, as after every evaluation in the window). An expected text starting
// with "!" is a failure whose description holds the rest.
struct Case {
    const char* name;
    Steps steps;
    bool nativeToo = true;
    bool chakraToo = true;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"the cookie jar keeps, replaces and expires cookies, and drops another site's",
         {{"document.cookie = 'a=1'", "a=1"},
          {"document.cookie = 'b=2; path=/'", "b=2; path=/"},
          {"document.cookie", "a=1; b=2"},
          {"document.cookie = 'a=3'", "a=3"},
          {"document.cookie", "a=3; b=2"},
          {"document.cookie = 'a=; max-age=0'", "a=; max-age=0"},
          {"document.cookie = 'c=3; domain=other.org'", "c=3; domain=other.org"},
          {"document.cookie = 'd=4; path=/deeper'", "d=4; path=/deeper"},
          {"document.cookie = 'e=5; expires=Thu, 01 Jan 1970 00:00:00 GMT'", "e=5; expires=Thu, 01 Jan 1970 00:00:00 GMT"},
          {"document.cookie", "b=2"},
          {"QUILLBOX_BROWSER.cookies()", "b=2"}}},
        {"a longer path's cookie comes first where the page's path matches",
         {{"location.href = 'https://www.example.com/deeper/page.html'", "https://www.example.com/deeper/page.html"},
          {"document.cookie = 'top=1; path=/'", "top=1; path=/"},
          {"document.cookie = 'low=2; path=/deeper'", "low=2; path=/deeper"},
          {"document.cookie", "low=2; top=1"}}},
        {"location parses an address and follows writes to href and to its parts",
         {{"location.href = 'https://Shop.Example.cn:8443/a/b/c.html?x=1#top'", "https://Shop.Example.cn:8443/a/b/c.html?x=1#top"},
          {"[location.host, location.hostname, location.port, location.pathname, location.search, location.hash].join('|')",
           "shop.example.cn:8443|shop.example.cn|8443|/a/b/c.html|?x=1|#top"},
          {"location.origin", "https://shop.example.cn:8443"},
          {"location.search = 'y=2'", "y=2"},
          {"location.href", "https://shop.example.cn:8443/a/b/c.html?y=2#top"},
          {"location.href = '../d.html'", "../d.html"},
          {"location.href", "https://shop.example.cn:8443/a/d.html"},
          {"location.href = 'http://plain.org:80/'", "http://plain.org:80/"},
          {"location.host + ' ' + document.domain + ' ' + document.URL", "plain.org plain.org http://plain.org/"},
          {"String(location)", "http://plain.org/"}}},
        {"history.pushState moves the address and counts the entry",
         {{"history.pushState({}, '', '/list?page=2'), location.href", "https://www.example.com/list?page=2"},
          {"String(history.length)", "2"}}},
        {"storage keeps texts by key, in order, with the browser's errors",
         {{"localStorage.setItem('k', 42), localStorage.getItem('k')", "42"},
          {"localStorage.setItem('j', 'x'), [localStorage.length, localStorage.key(0), localStorage.key(1)].join()", "2,k,j"},
          {"String(localStorage.getItem('none')) + ' ' + String(localStorage.key(5))", "null null"},
          {"localStorage.removeItem('k'), String(localStorage.length)", "1"},
          {"sessionStorage.setItem('s', 1), String(sessionStorage.length + localStorage.length)", "2"},
          {"localStorage.clear(), String(localStorage.length)", "0"},
          {"localStorage.setItem('x')",
           "!Failed to execute 'setItem' on 'Storage': 2 arguments required, but only 1 present."}}},
        {"btoa and atob as a browser has them, errors included",
         {{"btoa('hello')", "aGVsbG8="},
          {"btoa('\\xff\\x00a')", "/wBh"},
          {"atob(' aGVs bG8= ')", "hello"},
          {"atob('aGVsbG8')", "hello"},
          {"btoa('中')", "!The string to be encoded contains characters outside of the Latin1 range."},
          {"atob('abcde')", "!The string to be decoded is not correctly encoded."},
          {"(function () { try { atob('a*') } catch (e) { return e.name + ' ' + e.code + ' ' + String(e instanceof DOMException) } })()",
           "InvalidCharacterError 5 true"},
          {"btoa()", "!Failed to execute 'btoa' on 'Window': 1 argument required, but only 0 present."}}},
        {"timers wait for the evaluation to end and then run in the order they fall due",
         {{"var order = []; setTimeout(function () { order.push('b'); }, 20); "
           "setTimeout(function () { order.push('a'); }, 10); setTimeout(function (x) { order.push(x); }, 20, 'c'); "
           "order.length", "0"},
          {"order.join()", "a,b,c"},
          {"var n = 0; setTimeout(function () { n += 1; }, 50); var every = setInterval(function () { n += 10; }, 1000); "
           "String(QUILLBOX_BROWSER.pendingTimers())", "2"},
          {"String(n)", "101"},
          {"clearInterval(every), String(QUILLBOX_BROWSER.pendingTimers())", "0"},
          {"var late = setTimeout(function () { n = -1; }, 0); clearTimeout(late); 'x'", "x"},
          {"setTimeout(function () { throw new Error('boom'); }, 0); setTimeout(function () { n = 7; }, 5); 'x'", "x"},
          {"String(n)", "7"}}},
        {"the environment's functions read as built-ins, the code's own as its text",
         {{"setTimeout.toString()", "function setTimeout() { [native code] }"},
          {"String(document.createElement)", "function createElement() { [native code] }"},
          {"Function.prototype.toString.call(Function.prototype.toString)", "function toString() { [native code] }"},
          {"String(localStorage.getItem)", "function getItem() { [native code] }"}}},
        {"navigator and screen answer from the profile, enumerated in its order",
         {{"navigator.userAgent",
           "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Safari/537.36"},
          {"navigator.platform + ' ' + navigator.language + ' ' + navigator.languages.join()", "Win32 zh-CN zh-CN,zh,en"},
          {"String(navigator.webdriver) + ' ' + String(navigator.cookieEnabled)", "false true"},
          {"String(navigator.plugins.length) + ' ' + navigator.plugins[1].name + ' ' + navigator.plugins.item(0).filename",
           "5 Chrome PDF Viewer internal-pdf-viewer"},
          {"navigator.plugins.namedItem('PDF Viewer')[0].type", "application/pdf"},
          {"String(navigator.hasOwnProperty('userAgent')) + ' ' + String(navigator instanceof Navigator)", "false true"},
          {"(function () { var k = []; for (var p in navigator) k.push(p); return k.slice(0, 4).join(); })()",
           "vendorSub,productSub,vendor,maxTouchPoints"},
          {"String(navigator.javaEnabled())", "false"},
          {"screen.width + 'x' + screen.height + ' ' + screen.colorDepth", "1920x1080 24"},
          {"new Navigator()", "!Illegal constructor"}}},
        {"window is the global object under all its names",
         {{"String(window === this && self === window && top === window && parent === window && frames === window)",
           "true"},
          {"var declared = 5; String(window.declared)", "5"},
          {"typeof window.addEventListener + ' ' + typeof XMLHttpRequest + ' ' + typeof Image", "function function function"},
          {"String(window.innerWidth) + ' ' + window.origin", "1920 https://www.example.com"}}},
        {"the document is a tree the code can build and search",
         {{"var d = document.createElement('div'); d.id = 'box'; d.className = 'a b'; document.body.appendChild(d); "
           "document.getElementById('box').tagName", "DIV"},
          {"document.body.appendChild(document.createElement('span')).setAttribute('data-k', 'v'), "
           "String(document.getElementsByTagName('span').length)", "1"},
          {"document.querySelector('.b').id + ' ' + document.querySelector('#box').tagName + ' ' + "
           "document.querySelectorAll('[data-k]').length", "box DIV 1"},
          {"document.documentElement.tagName + ' ' + document.head.parentNode.tagName + ' ' + document.body.childNodes.length",
           "HTML HTML 2"},
          {"document.body.removeChild(document.createElement('p'))", "!The node to be removed is not a child of this node."},
          {"document.readyState + ' ' + document.characterSet + ' ' + document.compatMode", "complete UTF-8 CSS1Compat"}}},
        {"canvas and WebGL answer with the profile's values",
         {{"document.createElement('canvas').toDataURL().substring(0, 22)", "data:image/png;base64,"},
          {"var c = document.createElement('canvas'); var x = c.getContext('2d'); x.fillText('hi', 2, 2); "
           "String(c.toDataURL() == document.createElement('canvas').toDataURL())", "false"},
          {"(function () { var gl = document.createElement('canvas').getContext('webgl'); "
           "var i = gl.getExtension('WEBGL_debug_renderer_info'); "
           "return gl.getParameter(i.UNMASKED_VENDOR_WEBGL) + ' | ' + gl.getParameter(gl.VERSION); })()",
           "Google Inc. (Intel) | WebGL 1.0 (OpenGL ES 2.0 Chromium)"},
          {"String(document.createElement('canvas').getContext('bitmaprenderer'))", "null"}}},
        {"XMLHttpRequest without a host to send it fails as a network error",
         {{"var r = new XMLHttpRequest(); r.open('GET', '/data', false); r.send()",
           "!Failed to load 'https://www.example.com/data'."},
          {"var r2 = new XMLHttpRequest(); var seen = []; r2.onreadystatechange = function () { seen.push(r2.readyState); };"
           " r2.onerror = function () { seen.push('error'); }; r2.open('GET', 'x.json'); r2.send(); seen.join()", "1"},
          {"seen.join() + ' ' + String(r2.status)", "1,4,error 0"},
          {"new XMLHttpRequest().send()", "!The object's state must be OPENED."}},
         true,
         false},
        {"accessors: document.cookie reads the jar at once in the same expression",
         {{"document.cookie = 'x=1; path=/'; document.cookie = 'y=2'; document.cookie", "x=1; y=2"},
          {"Object.getOwnPropertyDescriptor(Navigator.prototype, 'userAgent').get.toString()",
           "function get userAgent() { [native code] }"},
          {"Object.prototype.toString.call(navigator) + ' ' + Object.prototype.toString.call(document)",
           "[object Navigator] [object HTMLDocument]"},
          {"location.hash = 'here', location.href", "https://www.example.com/#here"},
          {"String(Object.keys(localStorage).length) + ' ' + String(Object.keys(navigator).length)", "0 0"},
          {"(function f(a) { return a; }).toString()", "function f(a) { return a; }"}},
         false},
    };
    return all;
}

class BrowserEnvironmentTest : public test::LoaderFixture {
protected:
    // Loads a project whose first module is the environment; false when the load failed.
    bool loadWithEnvironment(EngineKind engine, const std::string& profile = defaultBrowserProfile()) {
        if (!store.hasProject("p"))
            addProject("p", {{"main", "var ready = 1;"}});
        EXPECT_TRUE(putBrowserModuleFirst(store, "p", browserModuleText(profile)));
        return loader.load(engine);
    }

    // The result of one evaluation, or "!" and the failure's description.
    std::string evaluate(const std::string& expression, EngineKind engine) {
        const std::size_t before = output.lines.size();
        loader.evaluate(expression, engine);
        for (std::size_t i = before; i < output.lines.size(); ++i) {
            const auto& line = output.lines[i];
            if (line.type == kResultType)
                return line.text;
            const std::string mark = "错误描述：：";
            if (line.text.rfind(mark, 0) == 0)
                return "!" + line.text.substr(mark.size());
        }
        return "(nothing)";
    }
};

TEST_F(BrowserEnvironmentTest, BehavesAsABrowserInBothEngines) {
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (engine == kChakraEngine && !ChakraCore::libraryLoaded())
            continue;
        for (const Case& c : cases()) {
            if ((engine == kNativeEngine && !c.nativeToo) || (engine == kChakraEngine && !c.chakraToo))
                continue;
            SCOPED_TRACE(std::string(engineName(engine)) + ": " + c.name);
            ASSERT_TRUE(loadWithEnvironment(engine)) << ::testing::PrintToString(output.texts());
            for (const auto& [expression, expected] : c.steps) {
                const std::string got = evaluate(expression, engine);
                if (expected[0] == '!')
                    EXPECT_TRUE(got[0] == '!' && got.find(expected.substr(1)) != std::string::npos)
                        << expression << "\n  gave " << got;
                else
                    EXPECT_EQ(got, expected) << expression;
            }
        }
    }
}

TEST_F(BrowserEnvironmentTest, TheModuleGoesFirstOnceAndKeepsTheSelectionAndPage) {
    addProject("p", {{"a", "var a = 1;"}, {"b", "var b = 2;"}});
    const int current = store.currentPagePosition();
    const NodeId selected = store.tree().selected();
    ASSERT_TRUE(putBrowserModuleFirst(store, "p", browserModuleText(defaultBrowserProfile())));
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{kBrowserModuleName, "a", "b"}));
    EXPECT_TRUE(hasBrowserModule(store, "p"));
    EXPECT_EQ(store.currentPagePosition(), current);
    EXPECT_EQ(store.tree().selected(), selected);
    // Again, with another profile: the same module, its text replaced.
    const std::string other = R"({"navigator": {"userAgent": "Other/1.0"}})";
    ASSERT_TRUE(putBrowserModuleFirst(store, "p", browserModuleText(other)));
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{kBrowserModuleName, "a", "b"}));
    const std::string text = store.page(store.findPage("p", kBrowserModuleName))->getText();
    EXPECT_NE(text.find("\"userAgent\":\"Other"), std::string::npos) << text.substr(text.size() - 200);
    EXPECT_EQ(text.find("Chrome/131"), std::string::npos);
}

TEST_F(BrowserEnvironmentTest, TheProfilesValuesAreWhatTheCodeSees) {
    // Every character of the profile reaches the code as it was, including ones that end a
    // line in old JavaScript; and a seed makes Math.random repeat itself load after load.
    const std::string profile = R"({"navigator": {"userAgent": "Agent \u2028 \"q\" 中文", "platform": "MacIntel",
        "hardwareConcurrency": 12}, "location": {"href": "http://intra.net:8080/app/"},
        "document": {"cookie": "sid=abc; theme=dark"}, "randomSeed": 42})";
    ASSERT_TRUE(checkBrowserProfile(profile));
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (engine == kChakraEngine && !ChakraCore::libraryLoaded())
            continue;
        SCOPED_TRACE(engineName(engine));
        ASSERT_TRUE(loadWithEnvironment(engine, profile));
        EXPECT_EQ(evaluate("escape(navigator.userAgent)", engine), "Agent%20%u2028%20%22q%22%20%u4E2D%u6587");
        EXPECT_EQ(evaluate("navigator.platform + String(navigator.hardwareConcurrency)", engine), "MacIntel12");
        EXPECT_EQ(evaluate("location.host + location.pathname", engine), "intra.net:8080/app/");
        EXPECT_EQ(evaluate("document.cookie", engine), "sid=abc; theme=dark");
        const std::string first = evaluate("String(Math.random())", engine);
        ASSERT_TRUE(loadWithEnvironment(engine, profile));
        EXPECT_EQ(evaluate("String(Math.random())", engine), first);
    }
}

TEST_F(BrowserEnvironmentTest, XMLHttpRequestGoesThroughTheHostsAjaxWithTheJarsCookies) {
    if (!ChakraCore::libraryLoaded())
        GTEST_SKIP() << "libChakraCore.so is not built";
    test::LoopbackHttpServer server([](const test::LoopbackRequest& r) {
        return r.target == "/missing" ? test::LoopbackResponse::text("no", 404)
                                      : test::LoopbackResponse::text("answer to " + r.method + " " + r.body);
    });
    const std::string profile = R"({"location": {"href": ")" + server.url("/app/") + R"("}})";
    ASSERT_TRUE(loadWithEnvironment(kChakraEngine, profile));
    EXPECT_EQ(evaluate("document.cookie = 'sid=7; path=/'", kChakraEngine), "sid=7; path=/");
    EXPECT_EQ(evaluate("var r = new XMLHttpRequest(); r.open('POST', '/api?x=1', false); "
                       "r.setRequestHeader('X-Token', 't'); r.send('body'); r.status + ' ' + r.responseText",
                       kChakraEngine),
              "200 answer to POST body");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/api?x=1");
    EXPECT_EQ(server.requests()[0].header("X-Token"), "t");
    EXPECT_NE(server.requests()[0].header("Cookie").find("sid=7"), std::string::npos);
    // Asynchronous: answered after the evaluation, through the events.
    EXPECT_EQ(evaluate("var got = []; var a = new XMLHttpRequest(); a.onload = function () { got.push(a.responseText); };"
                       " a.open('GET', 'page'); a.send(); String(got.length)",
                       kChakraEngine),
              "0");
    EXPECT_EQ(evaluate("got.join()", kChakraEngine), "answer to GET ");
    EXPECT_EQ(evaluate("var b = new XMLHttpRequest(); b.open('GET', '/missing', false); b.send(); String(b.status)",
                       kChakraEngine),
              "0");
}

TEST(BrowserProfile, TheShippedProfileAndBadOnesAreTold) {
    std::string error;
    EXPECT_TRUE(checkBrowserProfile(defaultBrowserProfile(), &error)) << error;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "not JSON"},
        {"{\"navigator\": ", "not JSON"},
        {"[1, 2]", "not a JSON object"},
        {"{\"navigator\": \"Chrome\"}", "\"navigator\" is not an object"},
        {"{\"screen\": [1]}", "\"screen\" is not an object"},
        {"{\"location\": {\"href\": \"/relative\"}}", "not an absolute address"},
        {"{\"location\": {\"href\": 5}}", "not an absolute address"},
    };
    for (const auto& [text, why] : bad) {
        error.clear();
        EXPECT_FALSE(checkBrowserProfile(text, &error)) << text;
        EXPECT_NE(error.find(why), std::string::npos) << text << ": " << error;
    }
}

TEST(BrowserAccessLog, RowsAreReadBackAndTabulatedInOrder) {
    const auto rows = parseAccessLog(
        R"([["navigator","userAgent","\"Mozilla\"",2,"main:3"],["window","chrome","undefined",1,"Zorvan:1"]])");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (AccessRow{"navigator", "userAgent", "\"Mozilla\"", 2, "main:3"}));
    EXPECT_FALSE(rows[0].missing());
    EXPECT_EQ(rows[1], (AccessRow{"window", "chrome", "undefined", 1, "求值:1"}));
    EXPECT_TRUE(rows[1].missing());
    EXPECT_EQ(accessTableText(rows),
              "对象\t属性\t值\t次数\t首次位置\nnavigator\tuserAgent\t\"Mozilla\"\t2\tmain:3\n"
              "window\tchrome\tundefined\t1\t求值:1\n");
    // A property named with a tab or a line end stays on its own line, in its own cell.
    EXPECT_EQ(accessTableText({{"navigator", "a\tb\nc", "undefined", 1, ""}}),
              "对象\t属性\t值\t次数\t首次位置\nnavigator\ta\\tb\\nc\tundefined\t1\t\n");
    for (const char* unreadable : {"", "{}", "[[1,2]]", "not json"})
        EXPECT_TRUE(parseAccessLog(unreadable).empty()) << unreadable;
}

TEST(BrowserCodeWords, GlobalsOnlyOutsideCommentsStringsAndMemberNames) {
    EXPECT_EQ(codeWords("var a = b.c + d['e'] // f\n/* g */ + \"h\" + typeof i; $j(_k) 9l"),
              (std::vector<std::string>{"a", "b", "d", "i", "$j", "_k"}));
}

}  // namespace
