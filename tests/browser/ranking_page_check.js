// Loads the ranking page in Debian's Chromium, checks by DOM that the three
// level tables are there and readable, then at a phone's width and a desk's:
// no two cells overlap, no text spills out of its cell or breaks inside a
// word, the tables keep their roles for a screen reader, and the axe-core
// audit is clean. A screenshot per width is saved for a look by eye.
//
//   node ranking_page_check.js URL SCREENSHOT.png  (saves SCREENSHOT-320.png, ...)
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
        for (const width of [320, 390, 1280]) {
            await page.setViewport({width, height: 900});
            for (const p of await page.evaluate(layoutProblems)) problems.push(`${width} px: ${p}`);
            for (const p of roleProblems(await page.accessibility.snapshot({interestingOnly: false}))) {
                problems.push(`${width} px: ${p}`);
            }
            const audit = await page.evaluate(async () => {
                const result = await window.axe.run(document, {resultTypes: ["violations"]});
                return result.violations.map((v) => `${v.id}: ${v.help} (${v.nodes.length} nodes)`);
            });
            for (const v of audit) problems.push(`${width} px: axe ${v}`);
            if (screenshot) {
                await page.screenshot({path: screenshot.replace(/(\.png)?$/, `-${width}.png`), fullPage: true});
            }
        }
    } finally {
        await browser.close();
    }
    if (problems.length) {
        console.error(problems.join("\n"));
        process.exit(1);
    }
}

// Runs in the page. Boxes under 2 px a side show no text (headers kept for
// screen readers only) and are left out.
function layoutProblems() {
    const problems = [];
    const shown = (el) => {
        const r = el.getBoundingClientRect();
        return r.width >= 2 && r.height >= 2;
    };
    const describe = (el) => `<${el.localName}> "${el.textContent.trim().slice(0, 40)}"`;
    if (document.documentElement.scrollWidth > window.innerWidth) {
        problems.push(`the page is ${document.documentElement.scrollWidth} px wide`);
    }
    const tables = [...document.querySelectorAll("table")];
    for (const table of tables) {
        const cells = [...table.querySelectorAll("th, td")].filter(shown);
        const boxes = cells.map((el) => el.getBoundingClientRect());
        for (let i = 0; i < cells.length; ++i) {
            for (let j = i + 1; j < cells.length; ++j) {
                // Collapsed borders may share a pixel.
                const w = Math.min(boxes[i].right, boxes[j].right) - Math.max(boxes[i].left, boxes[j].left);
                const h = Math.min(boxes[i].bottom, boxes[j].bottom) - Math.max(boxes[i].top, boxes[j].top);
                if (w > 1 && h > 1) problems.push(`${describe(cells[i])} overlaps ${describe(cells[j])}`);
            }
        }
        for (const cell of cells) {
            // A cell may spill only into a scroller of its own.
            const scrolls = /auto|scroll/.test(getComputedStyle(cell).overflowX);
            if (cell.scrollWidth > cell.clientWidth && !scrolls) {
                problems.push(`${describe(cell)} spills out: ${cell.scrollWidth} px in ${cell.clientWidth}`);
            }
        }
    }
    // A word stays on one line; only one of 20 or more letters that alone is
    // wider than its cell may be cut.
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        const cell = node.parentElement.closest("th, td, caption") || node.parentElement;
        const style = getComputedStyle(cell);
        const room = cell.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
        for (const m of node.data.matchAll(/[\p{L}\p{N}]+/gu)) {
            const range = document.createRange();
            range.setStart(node, m.index);
            range.setEnd(node, m.index + m[0].length);
            const rects = [...range.getClientRects()];
            const tops = new Set(rects.map((r) => Math.round(r.top)));
            const wide = rects.reduce((sum, r) => sum + r.width, 0);
            if (tops.size > 1 && (wide <= room || m[0].length < 20)) {
                problems.push(`"${m[0]}" breaks over ${tops.size} lines`);
            }
        }
    }
    // Wide enough for columns, the levels' columns line up.
    const columns = (table) => [...table.querySelectorAll("th")].map((th) => {
        const r = th.getBoundingClientRect();
        return `${Math.round(r.left)}+${Math.round(r.width)}`;
    }).join(" ");
    if (tables.length && shown(tables[0].querySelector("th"))) {
        for (const table of tables) {
            if (columns(table) !== columns(tables[0])) {
                problems.push(`columns ${columns(table)} against ${columns(tables[0])}`);
            }
        }
    }
    return problems;
}

// The accessibility tree keeps every table a table with its column headers,
// and a cell's name is its own text alone.
function roleProblems(tree) {
    const problems = [];
    const count = {};
    const walk = (node) => {
        count[node.role] = (count[node.role] || 0) + 1;
        if (node.role === "cell" && /^(Rank|Name|Area|Hits|Date)\b/.test(node.name || "")) {
            problems.push(`cell named "${node.name}"`);
        }
        for (const child of node.children || []) walk(child);
    };
    walk(tree);
    if (count.table !== 3 || count.columnheader !== 15) {
        problems.push(`${count.table} tables with ${count.columnheader} column headers, want 3 with 15`);
    }
    if (!count.cell) problems.push("no cells in the accessibility tree");
    return problems;
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
