// libChakraCore.so through its C calls, with the meaning ChakraCore gives them.
#include "JsRT.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class JsRT : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(JsCreateRuntime(JsRuntimeAttributeAllowScriptInterrupt, nullptr, &runtime), JsNoError);
        ASSERT_EQ(JsCreateContext(runtime, &context), JsNoError);
        ASSERT_EQ(JsSetCurrentContext(context), JsNoError);
    }
    void TearDown() override {
        JsSetCurrentContext(JS_INVALID_REFERENCE);
        EXPECT_EQ(JsDisposeRuntime(runtime), JsNoError);
    }

    static JsValueRef str(const std::string& s) {
        JsValueRef v = nullptr;
        EXPECT_EQ(JsCreateString(s.data(), s.size(), &v), JsNoError);
        return v;
    }
    static std::string text(JsValueRef v) {
        JsValueRef s = nullptr;
        if (JsConvertValueToString(v, &s) != JsNoError)
            return "<no text>";
        size_t n = 0;
        JsCopyString(s, nullptr, 0, &n);
        std::string out(n, '\0');
        JsCopyString(s, out.data(), n, &n);
        return out;
    }
    static JsErrorCode run(const std::string& script, JsValueRef* result = nullptr,
                           const std::string& url = "test.js") {
        return JsRun(str(script), 0, str(url), JsParseScriptAttributeNone, result);
    }
    // The completion value of a script as text; "<error N>" when it fails.
    static std::string eval(const std::string& script) {
        JsValueRef result = nullptr;
        JsErrorCode e = run(script, &result);
        if (e != JsNoError) {
            JsValueRef ignored;
            JsGetAndClearException(&ignored);
            return "<error " + std::to_string(e) + ">";
        }
        return text(result);
    }
    static JsValueRef property(JsValueRef object, const std::string& name) {
        JsPropertyIdRef id = nullptr;
        EXPECT_EQ(JsCreatePropertyId(name.data(), name.size(), &id), JsNoError);
        JsValueRef value = nullptr;
        EXPECT_EQ(JsGetProperty(object, id, &value), JsNoError);
        return value;
    }
    static JsValueRef global() {
        JsValueRef g = nullptr;
        EXPECT_EQ(JsGetGlobalObject(&g), JsNoError);
        return g;
    }
    static double number(JsValueRef v) {
        double d = -1;
        EXPECT_EQ(JsNumberToDouble(v, &d), JsNoError);
        return d;
    }

    JsRuntimeHandle runtime = nullptr;
    JsContextRef context = nullptr;
};

// ---------------------------------------------------------------- error codes

TEST_F(JsRT, ErrorCodesHaveChakraCoresNumbers) {
    EXPECT_EQ(JsNoError, 0);
    EXPECT_EQ(JsErrorInvalidArgument, 0x10001);
    EXPECT_EQ(JsErrorNoCurrentContext, 0x10003);
    EXPECT_EQ(JsErrorInExceptionState, 0x10004);
    EXPECT_EQ(JsErrorRuntimeInUse, 0x10007);
    EXPECT_EQ(JsErrorInDisabledState, 0x10009);
    EXPECT_EQ(JsErrorCannotDisableExecution, 0x1000A);
    EXPECT_EQ(JsErrorArgumentNotObject, 0x1000C);
    EXPECT_EQ(JsErrorScriptException, 0x30001);
    EXPECT_EQ(JsErrorScriptCompile, 0x30002);
    EXPECT_EQ(JsErrorScriptTerminated, 0x30003);
    EXPECT_EQ(JsErrorFatal, 0x40001);
}

TEST_F(JsRT, RefusesCallsItCannotServe) {
    JsValueRef result = nullptr;
    JsValueRef number = nullptr;
    ASSERT_EQ(JsIntToNumber(7, &number), JsNoError);
    EXPECT_EQ(JsRun(number, 0, str("u"), JsParseScriptAttributeNone, &result), JsErrorInvalidArgument);
    EXPECT_EQ(JsRun(str("1"), 0, number, JsParseScriptAttributeNone, &result), JsErrorInvalidArgument);
    JsValueRef args[] = {global()};
    EXPECT_EQ(JsCallFunction(number, args, 1, &result), JsErrorInvalidArgument);
    EXPECT_EQ(JsGetOwnPropertyNames(number, &result), JsErrorArgumentNotObject);
    EXPECT_EQ(JsObjectGetProperty(number, str("x"), &result), JsErrorArgumentNotObject);
    JsValueRef fn = nullptr;
    ASSERT_EQ(run("(function () { return 1; })", &fn), JsNoError);
    EXPECT_EQ(JsCallFunction(fn, nullptr, 0, &result), JsErrorInvalidArgument) << "`this` is required";
    EXPECT_EQ(JsSetCurrentContext(reinterpret_cast<JsContextRef>(&result)), JsErrorInvalidArgument);
    EXPECT_EQ(JsDisposeRuntime(runtime), JsErrorRuntimeInUse) << "its context is current";

    ASSERT_EQ(JsSetCurrentContext(JS_INVALID_REFERENCE), JsNoError);
    EXPECT_EQ(JsCreateObject(&result), JsErrorNoCurrentContext);
    bool has = true;
    EXPECT_EQ(JsHasException(&has), JsErrorNoCurrentContext);
    ASSERT_EQ(JsSetCurrentContext(context), JsNoError);

    JsRuntimeHandle plain = nullptr;
    ASSERT_EQ(JsCreateRuntime(JsRuntimeAttributeNone, nullptr, &plain), JsNoError);
    EXPECT_EQ(JsDisableRuntimeExecution(plain), JsErrorCannotDisableExecution);
    EXPECT_EQ(JsDisposeRuntime(plain), JsNoError);
    EXPECT_EQ(JsDisposeRuntime(plain), JsErrorInvalidArgument) << "already gone";
}

// ---------------------------------------------------------------- exceptions

TEST_F(JsRT, ThrowLeavesTheRuntimeInExceptionStateUntilTaken) {
    EXPECT_EQ(run("var before = 1; throw new TypeError('bad');"), JsErrorScriptException);
    bool has = false;
    ASSERT_EQ(JsHasException(&has), JsNoError);
    EXPECT_TRUE(has);

    // Calls that would run script are refused; the others still work.
    JsValueRef o = nullptr, v = nullptr;
    EXPECT_EQ(run("1"), JsErrorInExceptionState);
    ASSERT_EQ(JsCreateObject(&o), JsNoError);
    EXPECT_EQ(JsObjectGetProperty(o, str("x"), &v), JsErrorInExceptionState);
    EXPECT_EQ(JsConvertValueToString(o, &v), JsErrorInExceptionState);
    EXPECT_EQ(JsGetOwnPropertyNames(o, &v), JsErrorInExceptionState);

    JsValueRef exception = nullptr;
    ASSERT_EQ(JsGetAndClearException(&exception), JsNoError);
    EXPECT_EQ(text(exception), "TypeError: bad");
    ASSERT_EQ(JsHasException(&has), JsNoError);
    EXPECT_FALSE(has);
    EXPECT_EQ(JsGetAndClearException(&exception), JsErrorInvalidArgument) << "nothing pending";
    EXPECT_EQ(exception, JS_INVALID_REFERENCE);
    EXPECT_EQ(eval("before"), "1") << "the code before the throw ran";
}

TEST_F(JsRT, CompileErrorsAreToldApartFromRunTimeSyntaxErrors) {
    EXPECT_EQ(run("var ran = 1;\nvar x = ;"), JsErrorScriptCompile);
    JsValueRef e;
    JsGetAndClearException(&e);
    EXPECT_EQ(eval("typeof ran"), "undefined") << "nothing of a script that does not parse runs";

    EXPECT_EQ(run("eval('(');"), JsErrorScriptException);
    JsGetAndClearException(&e);
    EXPECT_EQ(run("throw new SyntaxError('made by hand')"), JsErrorScriptException);
    JsGetAndClearException(&e);
    // A clash with an earlier script's declaration is found when the script starts running.
    ASSERT_EQ(run("let taken = 1;"), JsNoError);
    EXPECT_EQ(run("let taken = 2;"), JsErrorScriptException);
    JsGetAndClearException(&e);
}

JsValueRef callFirstArgument(JsValueRef, bool, JsValueRef* args, unsigned short argc, void*);

TEST_F(JsRT, RunawayRecursionIsAnOrdinaryException) {
    EXPECT_EQ(run("function down(n) { return down(n + 1) + 1; } down(0);"), JsErrorScriptException);
    JsValueRef e = nullptr;
    ASSERT_EQ(JsGetAndClearException(&e), JsNoError);
    EXPECT_EQ(text(e).rfind("RangeError", 0), 0u) << text(e);

    // The same through a native function at every level.
    JsValueRef fn = nullptr;
    ASSERT_EQ(JsCreateFunction(callFirstArgument, nullptr, &fn), JsNoError);
    ASSERT_EQ(JsObjectSetProperty(global(), str("invoke"), fn, false), JsNoError);
    EXPECT_EQ(run("function again() { return invoke(again); } again();"), JsErrorScriptException);
    ASSERT_EQ(JsGetAndClearException(&e), JsNoError);
    EXPECT_EQ(text(e).rfind("RangeError", 0), 0u) << text(e);
    EXPECT_EQ(eval("'fine'"), "fine");
}

struct Metadata {
    std::string exception, source, url;
    double line = -1, column = -1, length = -1;
};

class JsRTMetadata : public JsRT {
protected:
    Metadata take() {
        JsValueRef m = nullptr;
        EXPECT_EQ(JsGetAndClearExceptionWithMetadata(&m), JsNoError);
        Metadata md;
        if (!m)
            return md;
        md.exception = text(property(m, "exception"));
        md.source = text(property(m, "source"));
        md.url = text(property(m, "url"));
        md.line = number(property(m, "line"));
        md.column = number(property(m, "column"));
        md.length = number(property(m, "length"));
        return md;
    }
};

TEST_F(JsRTMetadata, RunTimeErrorGivesZeroBasedLineAndColumnWithItsSourceLine) {
    ASSERT_EQ(run("var a = 1;\n\n  throw new Error('boom');\n", nullptr, "mod.js"), JsErrorScriptException);
    Metadata md = take();
    EXPECT_EQ(md.exception, "Error: boom");
    EXPECT_EQ(md.line, 2);
    EXPECT_EQ(md.column, 17) << "the call's position, counted from 0";
    EXPECT_EQ(md.source, "  throw new Error('boom');");
    EXPECT_EQ(md.url, "mod.js");
    bool has = true;
    JsHasException(&has);
    EXPECT_FALSE(has);
}

TEST_F(JsRTMetadata, CompileErrorGivesItsLineAndColumnZero) {
    ASSERT_EQ(run("var ok = 1;\r\nvar x = ;\r\n", nullptr, "Zorvan"), JsErrorScriptCompile);
    Metadata md = take();
    EXPECT_EQ(md.exception.rfind("SyntaxError", 0), 0u) << md.exception;
    EXPECT_EQ(md.line, 1);
    EXPECT_EQ(md.column, 0);
    EXPECT_EQ(md.source, "var x = ;") << "without the carriage return";
    EXPECT_EQ(md.url, "Zorvan");
}

TEST_F(JsRTMetadata, ErrorInAnEarlierScriptNamesThatScript) {
    ASSERT_EQ(run("function fail() {\n  return missing + 1;\n}", nullptr, "lib.js"), JsNoError);
    ASSERT_EQ(run("\n\nfail();", nullptr, "main.js"), JsErrorScriptException);
    Metadata md = take();
    EXPECT_EQ(md.line, 1);
    EXPECT_EQ(md.url, "lib.js");
    EXPECT_EQ(md.source, "  return missing + 1;");
    EXPECT_NE(md.exception.find("missing"), std::string::npos) << md.exception;
}

TEST_F(JsRTMetadata, ScriptsSharingAUrlGiveTheLineOfOneLongEnough) {
    ASSERT_EQ(run("function fail() {\n  var x = 1;\n  return x.y.z;\n}", nullptr, "Zorvan"), JsNoError);
    ASSERT_EQ(run("fail()", nullptr, "Zorvan"), JsErrorScriptException);
    Metadata md = take();
    EXPECT_EQ(md.line, 2);
    EXPECT_EQ(md.source, "  return x.y.z;");
}

TEST_F(JsRTMetadata, ThrownValueThatIsNoErrorKeepsItsValueAndGivesNoPosition) {
    ASSERT_EQ(run("var a = 1;\nthrow 'plain text';", nullptr, "t.js"), JsErrorScriptException);
    JsValueRef m = nullptr;
    ASSERT_EQ(JsGetAndClearExceptionWithMetadata(&m), JsNoError);
    EXPECT_EQ(text(property(m, "exception")), "plain text");
    EXPECT_EQ(text(property(m, "url")), "t.js");
    // The position is not known, so none is given: line 0 would blame the first line.
    for (const char* name : {"line", "column"}) {
        JsValueType type = JsNumber;
        ASSERT_EQ(JsGetValueType(property(m, name), &type), JsNoError);
        EXPECT_EQ(type, JsUndefined) << name;
    }
}

TEST_F(JsRTMetadata, WithNothingPendingTheCallFails) {
    JsValueRef m = reinterpret_cast<JsValueRef>(1);
    EXPECT_EQ(JsGetAndClearExceptionWithMetadata(&m), JsErrorInvalidArgument);
    EXPECT_EQ(m, JS_INVALID_REFERENCE);
}

TEST_F(JsRT, EachRuntimeHasItsOwnPendingException) {
    JsRuntimeHandle other = nullptr;
    JsContextRef otherContext = nullptr;
    ASSERT_EQ(JsCreateRuntime(JsRuntimeAttributeNone, nullptr, &other), JsNoError);
    ASSERT_EQ(JsCreateContext(other, &otherContext), JsNoError);
    ASSERT_EQ(run("throw 1"), JsErrorScriptException);
    ASSERT_EQ(JsSetCurrentContext(otherContext), JsNoError);
    EXPECT_EQ(eval("6 * 7"), "42");
    ASSERT_EQ(JsSetCurrentContext(JS_INVALID_REFERENCE), JsNoError);
    EXPECT_EQ(JsDisposeRuntime(other), JsNoError);
    ASSERT_EQ(JsSetCurrentContext(context), JsNoError);
    EXPECT_EQ(run("1"), JsErrorInExceptionState);
}

TEST_F(JsRT, TheGlobalObjectHasNoConsoleOfItsOwn) {
    EXPECT_EQ(eval("typeof console"), "undefined");
    JsValueRef host = nullptr;
    ASSERT_EQ(JsCreateObject(&host), JsNoError);
    ASSERT_EQ(JsObjectSetProperty(global(), str("console"), host, false), JsNoError);
    EXPECT_EQ(eval("Object.keys(this).indexOf('console') >= 0"), "true") << "a host's console is enumerable";
}

// ---------------------------------------------------------------- values

TEST_F(JsRT, ValueTypesFollowTheTable) {
    struct Case {
        const char* script;
        JsValueType type;
    } cases[] = {
        {"undefined", JsUndefined},
        {"null", JsNull},
        {"1.5", JsNumber},
        {"'s'", JsString},
        {"true", JsBoolean},
        {"({a: 1})", JsObject},
        {"new Date(0)", JsObject},
        {"(function () {})", JsFunction},
        {"(() => 1)", JsFunction},
        {"Math.max", JsFunction},
        {"new Error('e')", JsError},
        {"new RangeError('e')", JsError},
        {"[1, 2]", JsArray},
        {"Symbol('s')", JsSymbol},
        {"new ArrayBuffer(4)", JsArrayBuffer},
        {"new Uint8Array(4)", JsTypedArray},
        {"new Float64Array(2)", JsTypedArray},
        {"new DataView(new ArrayBuffer(4))", JsDataView},
        {"10n", JsNumber},
    };
    for (const Case& c : cases) {
        JsValueRef v = nullptr;
        ASSERT_EQ(run(c.script, &v), JsNoError) << c.script;
        JsValueType type = JsUndefined;
        ASSERT_EQ(JsGetValueType(v, &type), JsNoError) << c.script;
        EXPECT_EQ(type, c.type) << c.script;
    }
}

TEST_F(JsRT, NumbersAndBooleans) {
    JsValueRef v = nullptr;
    int i = 0;
    ASSERT_EQ(run("4294967297.9", &v), JsNoError);
    ASSERT_EQ(JsNumberToInt(v, &i), JsNoError);
    EXPECT_EQ(i, 1) << "wraps as the language's ToInt32";
    ASSERT_EQ(run("-2.7", &v), JsNoError);
    ASSERT_EQ(JsNumberToInt(v, &i), JsNoError);
    EXPECT_EQ(i, -2);
    ASSERT_EQ(run("'12'", &v), JsNoError);
    EXPECT_EQ(JsNumberToInt(v, &i), JsErrorInvalidArgument) << "a string is not a number";
    bool b = false;
    ASSERT_EQ(run("1 < 2", &v), JsNoError);
    ASSERT_EQ(JsBooleanToBool(v, &b), JsNoError);
    EXPECT_TRUE(b);
    ASSERT_EQ(JsDoubleToNumber(0.1, &v), JsNoError);
    EXPECT_EQ(text(v), "0.1");
}

TEST_F(JsRT, ConvertValueToStringRunsTheValuesOwnToString) {
    EXPECT_EQ(eval("({ toString: function () { return 'mine'; } })"), "mine");
    EXPECT_EQ(eval("[1, [2, 3]]"), "1,2,3");
    JsValueRef sym = nullptr, s = nullptr;
    ASSERT_EQ(run("Symbol('x')", &sym), JsNoError);
    EXPECT_EQ(JsConvertValueToString(sym, &s), JsErrorScriptException) << "a symbol has no string form";
    JsValueRef e;
    JsGetAndClearException(&e);
}

// ---------------------------------------------------------------- strings

TEST_F(JsRT, StringsKeepChineseAndCharactersBeyondTheBasicPlane) {
    const std::string utf8 = "中文 \xF0\x9F\x98\x80 \xF0\xA0\x80\x80";  // 中文, U+1F600, U+20000
    JsValueRef v = str(utf8);
    int length = 0;
    ASSERT_EQ(JsGetStringLength(v, &length), JsNoError);
    EXPECT_EQ(length, 8) << "two surrogate pairs count as two characters each";
    EXPECT_EQ(text(v), utf8);

    const uint16_t units[] = {0x4E2D, 0xD83D, 0xDE00};
    JsValueRef w = nullptr;
    ASSERT_EQ(JsCreateStringUtf16(units, 3, &w), JsNoError);
    EXPECT_EQ(text(w), "中\xF0\x9F\x98\x80");
    JsValueRef g = global();
    ASSERT_EQ(JsObjectSetProperty(g, str("w"), w, false), JsNoError);
    EXPECT_EQ(eval("w.codePointAt(1).toString(16)"), "1f600");

    uint16_t copy[3] = {};
    size_t written = 0;
    ASSERT_EQ(JsCopyStringUtf16(w, 0, 3, copy, &written), JsNoError);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(std::u16string(copy, copy + 3), std::u16string(u"中\U0001F600"));
    ASSERT_EQ(JsCopyStringUtf16(w, 1, 100, nullptr, &written), JsNoError);
    EXPECT_EQ(written, 2u) << "the count stops at the end of the string";
    EXPECT_EQ(JsCopyStringUtf16(w, 4, 1, nullptr, &written), JsErrorInvalidArgument);
}

TEST_F(JsRT, StringCopiesAreBoundedAndIllFormedInputIsReplaced) {
    JsValueRef v = str("abc中");
    char buf[4] = {'x', 'x', 'x', 'x'};
    size_t n = 0;
    ASSERT_EQ(JsCopyString(v, nullptr, 0, &n), JsNoError);
    EXPECT_EQ(n, 6u);
    ASSERT_EQ(JsCopyString(v, buf, 4, &n), JsNoError);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(buf, 4), "abc\xE4");

    EXPECT_EQ(text(str(std::string("a\0b", 3))), std::string("a\0b", 3)) << "NUL is a character";
    EXPECT_EQ(text(str("a\xFF" "b\xE4\xB8")), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(eval("'x\\uD800y'"), "x\xEF\xBF\xBDy") << "a lone surrogate becomes U+FFFD";
    JsValueRef number = nullptr;
    JsIntToNumber(1, &number);
    EXPECT_EQ(JsCopyString(number, buf, 4, &n), JsErrorInvalidArgument);
}

TEST_F(JsRT, ScriptFromAnArrayBufferOfUtf8) {
    JsValueRef buffer = nullptr;
    ASSERT_EQ(run("new Uint8Array([0x27, 0xE4, 0xB8, 0xAD, 0x27]).buffer", &buffer), JsNoError);
    JsValueRef result = nullptr;
    ASSERT_EQ(JsRun(buffer, 0, str("b.js"), JsParseScriptAttributeNone, &result), JsNoError);
    EXPECT_EQ(text(result), "中");
}

// ---------------------------------------------------------------- objects and properties

TEST_F(JsRT, PropertiesByIdByKeyAndByIndex) {
    JsValueRef o = nullptr;
    ASSERT_EQ(JsCreateObject(&o), JsNoError);
    JsValueRef one = nullptr;
    JsIntToNumber(1, &one);
    ASSERT_EQ(JsObjectSetProperty(o, str("名字"), one, false), JsNoError);
    JsValueRef g = global();
    ASSERT_EQ(JsObjectSetProperty(g, str("o"), o, false), JsNoError);
    EXPECT_EQ(eval("o['名字']"), "1");
    EXPECT_EQ(number(property(o, "名字")), 1);

    JsPropertyIdRef a = nullptr, b = nullptr;
    JsCreatePropertyId("same", 4, &a);
    JsCreatePropertyId("same", 4, &b);
    EXPECT_EQ(a, b) << "a name has one property id";

    JsValueRef array = nullptr, item = nullptr;
    ASSERT_EQ(run("['x', 'y', 'z']", &array), JsNoError);
    JsValueRef two = nullptr;
    JsIntToNumber(2, &two);
    ASSERT_EQ(JsGetIndexedProperty(array, two, &item), JsNoError);
    EXPECT_EQ(text(item), "z");
}

TEST_F(JsRT, OwnPropertyNamesIncludeTheHiddenOnesInOrder) {
    JsValueRef o = nullptr, names = nullptr;
    ASSERT_EQ(run("var o = {b: 1, a: 2}; Object.defineProperty(o, 'hidden', {value: 3}); o", &o), JsNoError);
    ASSERT_EQ(JsGetOwnPropertyNames(o, &names), JsNoError);
    EXPECT_EQ(text(names), "b,a,hidden");
    ASSERT_EQ(run("Object.getOwnPropertyNames = function () { return []; }; o"), JsNoError);
    ASSERT_EQ(JsGetOwnPropertyNames(o, &names), JsNoError);
    EXPECT_EQ(text(names), "b,a,hidden") << "a script cannot replace what the host uses";
}

TEST_F(JsRT, StrictRulesDecideWhetherAFailedAssignmentThrows) {
    JsValueRef frozen = nullptr, one = nullptr;
    ASSERT_EQ(run("Object.freeze({x: 0})", &frozen), JsNoError);
    JsIntToNumber(1, &one);
    EXPECT_EQ(JsObjectSetProperty(frozen, str("x"), one, false), JsNoError);
    EXPECT_EQ(JsObjectSetProperty(frozen, str("x"), one, true), JsErrorScriptException);
    JsValueRef e;
    JsGetAndClearException(&e);
    EXPECT_EQ(number(property(frozen, "x")), 0);
}

// ---------------------------------------------------------------- native functions

struct Seen {
    int calls = 0;
    bool construct = false;
    std::vector<std::string> args;
};

JsValueRef recordCall(JsValueRef, bool construct, JsValueRef* args, unsigned short argc, void* state) {
    auto* seen = static_cast<Seen*>(state);
    ++seen->calls;
    seen->construct = construct;
    seen->args.clear();
    for (unsigned short k = 0; k < argc; ++k) {
        JsValueRef s = nullptr;
        JsConvertValueToString(args[k], &s);
        size_t n = 0;
        JsCopyString(s, nullptr, 0, &n);
        std::string t(n, '\0');
        JsCopyString(s, t.data(), n, &n);
        seen->args.push_back(t);
    }
    JsValueRef r = nullptr;
    JsIntToNumber(argc, &r);
    return r;
}

TEST_F(JsRT, NativeFunctionsGetThisFirstAndBehaveAsFunctions) {
    Seen seen;
    JsValueRef fn = nullptr;
    ASSERT_EQ(JsCreateFunction(recordCall, &seen, &fn), JsNoError);
    ASSERT_EQ(JsObjectSetProperty(global(), str("native"), fn, false), JsNoError);

    EXPECT_EQ(eval("native.call('self', 'a', 2)"), "3");
    EXPECT_EQ(seen.args, (std::vector<std::string>{"self", "a", "2"}));
    EXPECT_FALSE(seen.construct);
    EXPECT_EQ(eval("typeof native + ' ' + (native instanceof Function)"), "function true");
    EXPECT_EQ(eval("native.apply(null, ['x']); typeof native.bind"), "function");
    EXPECT_EQ(eval("var made = new native(); typeof made"), "object");
    EXPECT_TRUE(seen.construct);
    EXPECT_EQ(seen.calls, 3);
}

JsValueRef callFirstArgument(JsValueRef, bool, JsValueRef* args, unsigned short argc, void*) {
    if (argc < 2)
        return nullptr;
    JsValueRef result = nullptr;
    JsCallFunction(args[1], args, 1, &result);
    JsValueRef undefined = nullptr;
    JsGetUndefinedValue(&undefined);  // refused while the exception is pending; harmless
    return result;
}

TEST_F(JsRT, ExceptionLeftPendingByANativeFunctionIsThrownToItsCaller) {
    JsValueRef fn = nullptr;
    ASSERT_EQ(JsCreateFunction(callFirstArgument, nullptr, &fn), JsNoError);
    ASSERT_EQ(JsObjectSetProperty(global(), str("invoke"), fn, false), JsNoError);
    EXPECT_EQ(eval("try { invoke(function () { throw new Error('inner'); }); 'no' } catch (e) { e.message }"),
              "inner");
    bool has = true;
    JsHasException(&has);
    EXPECT_FALSE(has);
    EXPECT_EQ(eval("invoke(function () { return 5; })"), "5");
}

// ---------------------------------------------------------------- references

TEST_F(JsRT, AddRefKeepsAValueAliveAcrossCollectionsOffTheStack) {
    auto kept = std::make_unique<JsValueRef>();
    {
        JsValueRef o = nullptr;
        ASSERT_EQ(run("({ marker: 'still here' })", &o), JsNoError);
        unsigned count = 0;
        ASSERT_EQ(JsAddRef(o, &count), JsNoError);
        EXPECT_EQ(count, 1u);
        ASSERT_EQ(JsAddRef(o, &count), JsNoError);
        EXPECT_EQ(count, 2u);
        ASSERT_EQ(JsRelease(o, &count), JsNoError);
        EXPECT_EQ(count, 1u);
        *kept = o;
        o = nullptr;
    }
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(run("var junk = []; for (var i = 0; i < 200000; i++) junk.push({i: i}); junk = null;"), JsNoError);
        ASSERT_EQ(JsCollectGarbage(runtime), JsNoError);
    }
    EXPECT_EQ(text(property(*kept, "marker")), "still here");
    unsigned count = 9;
    ASSERT_EQ(JsRelease(*kept, &count), JsNoError);
    EXPECT_EQ(count, 0u);
}

TEST_F(JsRT, ContextsCountTheirOwnReferences) {
    unsigned count = 0;
    ASSERT_EQ(JsAddRef(context, &count), JsNoError);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(JsRelease(context, &count), JsNoError);
    EXPECT_EQ(count, 0u);
    JsContextRef cur = nullptr;
    ASSERT_EQ(JsGetCurrentContext(&cur), JsNoError);
    EXPECT_EQ(cur, context);
}

// ---------------------------------------------------------------- promises

void runTask(JsValueRef task, void*) {
    JsValueRef args[] = {nullptr};
    JsGetUndefinedValue(&args[0]);
    JsCallFunction(task, args, 1, nullptr);
}

TEST_F(JsRT, ContinuationsRunBeforeTheCallThatQueuedThemReturns) {
    ASSERT_EQ(JsSetPromiseContinuationCallback(runTask, nullptr), JsNoError);
    ASSERT_EQ(run("var order = [];"
                  "Promise.resolve().then(function () { order.push('then1'); })"
                  "  .then(function () { order.push('then2'); });"
                  "(async function () { order.push('async'); await null; order.push('await'); })();"
                  "order.push('sync');"),
              JsNoError);
    EXPECT_EQ(eval("order.join()"), "async,sync,then1,await,then2");

    JsValueRef fn = nullptr, result = nullptr;
    ASSERT_EQ(run("(function () { Promise.resolve(7).then(function (v) { order.push('call' + v); }); })", &fn),
              JsNoError);
    JsValueRef args[] = {global()};
    ASSERT_EQ(JsCallFunction(fn, args, 1, &result), JsNoError);
    EXPECT_EQ(eval("order[order.length - 1]"), "call7");
}

// ---------------------------------------------------------------- the stop

class JsRTStop : public JsRT {
protected:
    // Disables the runtime from another thread after a pause.
    std::thread stopLater(std::chrono::milliseconds pause) {
        return std::thread([this, pause] {
            std::this_thread::sleep_for(pause);
            JsDisableRuntimeExecution(runtime);
        });
    }
};

TEST_F(JsRTStop, AnEndlessLoopIsStoppedFromAnotherThreadAndTheRuntimeGoesOn) {
    auto start = std::chrono::steady_clock::now();
    std::thread stopper = stopLater(200ms);
    EXPECT_EQ(run("try { while (true) {} } catch (e) { } for (;;) {}"), JsErrorScriptTerminated);
    stopper.join();
    // Generous: a busy machine may be slow to schedule us, but never this slow.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);

    bool has = true;
    ASSERT_EQ(JsHasException(&has), JsNoError);
    EXPECT_FALSE(has) << "a stop is no exception";
    bool disabled = false;
    JsIsRuntimeExecutionDisabled(runtime, &disabled);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(run("1 + 1"), JsErrorInDisabledState) << "stays stopped until enabled";

    ASSERT_EQ(JsEnableRuntimeExecution(runtime), JsNoError);
    EXPECT_EQ(eval("1 + 1"), "2");
    EXPECT_EQ(eval("var n = 0; for (var i = 0; i < 1000; i++) n += i; n"), "499500");
}

TEST_F(JsRTStop, StopReachesScriptCalledFromANativeFunctionAndAPromiseJob) {
    JsValueRef fn = nullptr;
    ASSERT_EQ(JsCreateFunction(callFirstArgument, nullptr, &fn), JsNoError);
    ASSERT_EQ(JsObjectSetProperty(global(), str("invoke"), fn, false), JsNoError);
    ASSERT_EQ(run("var after = 0;"), JsNoError);

    std::thread stopper = stopLater(200ms);
    EXPECT_EQ(run("try { invoke(function () { while (true) {} }); after = 1; } catch (e) { after = 2; }"),
              JsErrorScriptTerminated);
    stopper.join();
    ASSERT_EQ(JsEnableRuntimeExecution(runtime), JsNoError);
    EXPECT_EQ(eval("after"), "0") << "neither the rest nor the catch ran";

    stopper = stopLater(200ms);
    EXPECT_EQ(run("Promise.resolve().then(function () { while (true) {} }); 'queued'"), JsErrorScriptTerminated);
    stopper.join();
    ASSERT_EQ(JsEnableRuntimeExecution(runtime), JsNoError);
    EXPECT_EQ(eval("'usable'"), "usable");
}

TEST_F(JsRTStop, StoppedBeforeTheCallRefusesAtOnce) {
    ASSERT_EQ(JsDisableRuntimeExecution(runtime), JsNoError);
    JsValueRef fn = nullptr;
    ASSERT_EQ(JsEnableRuntimeExecution(runtime), JsNoError);
    ASSERT_EQ(run("(function () { return 1; })", &fn), JsNoError);
    ASSERT_EQ(JsDisableRuntimeExecution(runtime), JsNoError);
    JsValueRef args[] = {global()};
    EXPECT_EQ(JsCallFunction(fn, args, 1, nullptr), JsErrorInDisabledState);
    EXPECT_EQ(run("1"), JsErrorInDisabledState);
}

TEST_F(JsRTStop, ARuntimeStoppedWhileRunningCanBeDisposed) {
    std::thread stopper = stopLater(100ms);
    EXPECT_EQ(run("while (true) {}"), JsErrorScriptTerminated);
    stopper.join();
    // TearDown disposes it; a fresh one works as any other.
    JsRuntimeHandle fresh = nullptr;
    JsContextRef freshContext = nullptr;
    ASSERT_EQ(JsCreateRuntime(JsRuntimeAttributeAllowScriptInterrupt, nullptr, &fresh), JsNoError);
    ASSERT_EQ(JsCreateContext(fresh, &freshContext), JsNoError);
    ASSERT_EQ(JsSetCurrentContext(freshContext), JsNoError);
    EXPECT_EQ(eval("'fresh'"), "fresh");
    ASSERT_EQ(JsSetCurrentContext(JS_INVALID_REFERENCE), JsNoError);
    EXPECT_EQ(JsDisposeRuntime(fresh), JsNoError);
    ASSERT_EQ(JsSetCurrentContext(context), JsNoError);
}

// ---------------------------------------------------------------- memory

struct MemoryEvents {
    size_t allocated = 0;
    size_t freed = 0;
    int failures = 0;
    size_t refuseAbove = static_cast<size_t>(-1);  // refuse growth once this much was allocated
};

bool countMemory(void* state, JsMemoryEventType event, size_t size) {
    auto* events = static_cast<MemoryEvents*>(state);
    if (event == JsMemoryAllocate)
        events->allocated += size;
    else if (event == JsMemoryFree)
        events->freed += size;
    else if (event == JsMemoryFailure)
        ++events->failures;
    return event != JsMemoryAllocate || events->allocated <= events->refuseAbove;
}

constexpr const char* kHog = "var a = []; for (;;) a.push(new Array(100001).join('x') + a.length);";

TEST_F(JsRT, MemoryLimitIsNoneUntilSet) {
    size_t limit = 0;
    ASSERT_EQ(JsGetRuntimeMemoryLimit(runtime, &limit), JsNoError);
    EXPECT_EQ(limit, static_cast<size_t>(-1));
    EXPECT_EQ(JsSetRuntimeMemoryLimit(nullptr, 1 << 20), JsErrorInvalidArgument);
    EXPECT_EQ(JsGetRuntimeMemoryUsage(runtime, nullptr), JsErrorNullArgument);
    ASSERT_EQ(JsSetRuntimeMemoryLimit(runtime, size_t(64) << 20), JsNoError);
    ASSERT_EQ(JsGetRuntimeMemoryLimit(runtime, &limit), JsNoError);
    EXPECT_EQ(limit, size_t(64) << 20);
}

TEST_F(JsRT, AScriptPassingTheMemoryLimitEndsWithOutOfMemoryAndTheCallbackHearsIt) {
    MemoryEvents events;
    ASSERT_EQ(JsSetRuntimeMemoryAllocationCallback(runtime, &events, countMemory), JsNoError);
    ASSERT_EQ(JsSetRuntimeMemoryLimit(runtime, size_t(64) << 20), JsNoError);
    // A script cannot catch its way past the limit.
    EXPECT_EQ(run(std::string("try { ") + kHog + " } catch (e) {} for (;;) {}"), JsErrorOutOfMemory);
    EXPECT_EQ(events.failures, 1);
    EXPECT_GT(events.allocated, size_t(64) << 20);
    bool has = true;
    ASSERT_EQ(JsHasException(&has), JsNoError);
    EXPECT_FALSE(has) << "the end of the script is no exception of the script's";
    size_t usage = 0;
    ASSERT_EQ(JsGetRuntimeMemoryUsage(runtime, &usage), JsNoError);
    // With the limit lifted the runtime runs again.
    ASSERT_EQ(JsSetRuntimeMemoryLimit(runtime, static_cast<size_t>(-1)), JsNoError);
    EXPECT_EQ(eval("a = null; 6 * 7"), "42");
}

TEST_F(JsRT, TheAllocationCallbackCanRefuseGrowthWithoutALimit) {
    MemoryEvents events;
    events.refuseAbove = size_t(32) << 20;
    ASSERT_EQ(JsSetRuntimeMemoryAllocationCallback(runtime, &events, countMemory), JsNoError);
    EXPECT_EQ(run(kHog), JsErrorOutOfMemory);
    EXPECT_EQ(events.failures, 1);
    ASSERT_EQ(JsSetRuntimeMemoryAllocationCallback(runtime, nullptr, nullptr), JsNoError);
    EXPECT_EQ(eval("'usable'"), "usable");
}

}  // namespace
