// Loads the ranking page in Debian's Chromium, checks by DOM that the three
// level tables are there and readable, runs the axe-core accessibility audit
// in the page and saves a screenshot for a look by eye.
//
//   node ranking_page_check.js URL SCREENSHOT.png
// Exit status 0 when the page passes, 1 with the reasons on standard error.
"use strict";
const puppeteer = require("puppeteer-core");
const axePath = require.resolve("axe-core/axe.min.js");

async function main() {
    const [url, screenshot] = process.argv.slice(2);
    const browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
        // No sandbox: the tests run as root. The rest keeps Chromium from
        // reaching for the network it does not have here.
        args: ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
               "--no-first-run", "--disable-background-networking",
               "--disable-component-update", "--disable-sync"],
    });
    const problems = [];
    try {
        const page = await browser.newPage();
        await page.setViewport({width: 1000, height: 900});
        const response = await page.goto(url, {waitUntil: "load"});
        if (response.status() !== 200) {
            problems.push(`status ${response.status()}`);
        }
        const shape = await page.evaluate(() => {
            const sections = [...document.querySelectorAll("section")];
            return {
                lang: document.documentElement.lang,
                h1: document.querySelectorAll("h1").length,
                scripts: document.querySelectorAll("script").length,
                sections: sections.map((s) => ({
                    heading: (s.querySelector("h2") || {}).textContent || "",
                    caption: (s.querySelector("table caption") || {}).textContent || "",
                    headers: [...s.querySelectorAll("table th[scope=col]")].map((th) => th.textContent.trim()),
                    rows: s.querySelectorAll("table tbody tr").length,
                })),
            };
        });
        if (!shape.lang) problems.push("no lang on <html>");
        if (shape.h1 !== 1) problems.push(`${shape.h1} h1 elements, want 1`);
        if (shape.scripts !== 0) problems.push("the page carries a script");
        const levels = shape.sections.map((s) => s.heading);
        if (!(levels.length === 3 && /Hard/.test(levels[0]) && /Normal/.test(levels[1]) && /Easy/.test(levels[2]))) {
            problems.push(`sections ${JSON.stringify(levels)}, want Hard, Normal, Easy`);
        }
        for (const s of shape.sections) {
            if (!s.caption) problems.push(`no caption in "${s.heading}"`);
            if (s.headers.join(",") !== "Rank,Name,Area,Hits,Date") {
                problems.push(`headers of "${s.heading}": ${s.headers.join(",")}`);
            }
        }
        console.log(JSON.stringify(shape));

        await page.addScriptTag({path: axePath});
        const audit = await page.evaluate(async () => {
            const result = await window.axe.run(document, {resultTypes: ["violations"]});
            return result.violations.map((v) => `${v.id}: ${v.help} (${v.nodes.length} nodes)`);
        });
        for (const v of audit) problems.push(`axe ${v}`);
        if (screenshot) await page.screenshot({path: screenshot, fullPage: true});
    } finally {
        await browser.close();
    }
    if (problems.length) {
        console.error(problems.join("\n"));
        process.exit(1);
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
