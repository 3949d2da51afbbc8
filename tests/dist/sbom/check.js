// The bill of materials of `make dist` against the archives it describes:
// valid CycloneDX 1.6 (the schema and validator of @cyclonedx/cyclonedx-library),
// exactly the files of each archive with the hashes they have, runtime
// components whose package URLs and versions are those of the installed
// toolchain packages, each program depending on the components of its own
// bitness, and THIRD-PARTY-NOTICES.txt naming the same components with a
// notice for each.
// Usage: node check.js BOM ARCHIVE_DIR ZIP_DIR MSI_DIR
'use strict'
const { Validation, Spec } = require('@cyclonedx/cyclonedx-library')
const { PackageURL } = require('packageurl-js')
const parseSpdx = require('spdx-expression-parse')
const { execFileSync } = require('child_process')
const crypto = require('crypto')
const fs = require('fs')
const path = require('path')

const [bomFile, dist, zipDir, msiDir] = process.argv.slice(2)
const failures = []
const fail = (text) => failures.push(text)
const sha256 = (file) => crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex')
const filesBelow = (dir, base = dir) =>
  fs.readdirSync(dir, { withFileTypes: true }).flatMap((entry) => {
    const full = path.join(dir, entry.name)
    return entry.isDirectory() ? filesBelow(full, base) : [path.relative(base, full)]
  })
const same = (what, expected, actual) => {
  const missing = [...expected].filter((x) => !actual.includes(x))
  const extra = [...actual].filter((x) => !expected.includes(x))
  if (missing.length) fail(`${what}: missing ${missing.join(', ')}`)
  if (extra.length) fail(`${what}: not in the archive ${extra.join(', ')}`)
}

async function main () {
  const text = fs.readFileSync(bomFile, 'utf8')
  const errors = await new Validation.JsonStrictValidator(Spec.Version.v1dot6).validate(text)
  if (errors !== null) fail(`not valid CycloneDX 1.6: ${JSON.stringify(errors, null, 1)}`)
  const bom = JSON.parse(text)
  const components = bom.components || []
  const hashOf = (c) => (c.hashes || []).find((h) => h.alg === 'SHA-256')?.content
  const dependsOn = new Map((bom.dependencies || []).map((d) => [d.ref, d.dependsOn || []]))

  // The archives and every file inside them.
  const archives = fs.readdirSync(dist).filter((f) => /\.(msi|zip)$/.test(f) && !f.includes('symbols'))
  const programs = []
  for (const archive of archives) {
    const c = components.find((x) => x['bom-ref'] === archive)
    if (!c) { fail(`no component for ${archive}`); continue }
    if (hashOf(c) !== sha256(path.join(dist, archive))) fail(`${archive}: the hash differs`)
    const dir = archive.endsWith('.zip') ? zipDir : msiDir
    // msiextract lays the MSI's files out by their folders on the target
    // machine, the bill names them by their place in the package's source:
    // the MSI's files compare by file name and hash.
    const key = archive.endsWith('.zip') ? (p) => p : (p) => path.basename(p)
    const inside = filesBelow(dir).map((p) => `${key(p)} ${sha256(path.join(dir, p))}`)
    const listed = (c.components || []).map((m) => `${key(m.name)} ${hashOf(m)}`)
    same(archive, inside.sort(), listed.sort())
    programs.push(...(c.components || []).filter((m) => /\.(dll|exe)$/.test(m.name)))
  }

  // The runtime components: Debian packages, as installed here.
  const runtime = components.filter((c) => c.purl)
  if (runtime.length === 0) fail('no runtime component')
  for (const c of runtime) {
    const purl = PackageURL.fromString(c.purl)
    if (purl.toString() !== c.purl) fail(`${c.purl} is not in canonical form (${purl})`)
    if (purl.type !== 'deb' || purl.namespace !== 'debian' || purl.version !== c.version) {
      fail(`${c['bom-ref']}: ${c.purl} is not the Debian package of version ${c.version}`)
    }
    const installed = execFileSync('dpkg-query', ['-W', '-f=${Version} ${Architecture}', purl.name]).toString()
    if (installed !== `${c.version} ${purl.qualifiers.arch}`) {
      fail(`${c.purl}: the installed package is ${installed}`)
    }
    const expression = c.licenses?.[0]?.expression
    try { parseSpdx(expression) } catch (e) { fail(`${c['bom-ref']}: '${expression}' is no SPDX expression`) }
  }

  // Each program depends on runtime components of its own bitness, and each
  // component is in some program.
  const triplet = { x86: 'i686', x64: 'x86-64' }
  const containing = new Map(runtime.map((c) => [c['bom-ref'], new Set()]))
  for (const program of programs) {
    const parts = dependsOn.get(program['bom-ref']) || []
    if (parts.length === 0) fail(`${program['bom-ref']} depends on no runtime component`)
    const bitness = triplet[program.name.split('/')[0]]
    for (const ref of parts) {
      if (!containing.has(ref)) { fail(`${program['bom-ref']} depends on ${ref}, no runtime component`); continue }
      if (!ref.includes(`-${bitness}-`)) fail(`${program['bom-ref']} depends on ${ref} of the other bitness`)
      containing.get(ref).add(program.name)
    }
  }
  for (const [ref, names] of containing) if (names.size === 0) fail(`${ref} is in no program`)

  // THIRD-PARTY-NOTICES.txt, alike in both archives, names the same
  // components, each with the programs that hold it and a notice.
  const notices = fs.readFileSync(path.join(zipDir, 'THIRD-PARTY-NOTICES.txt'), 'utf8')
  const msiNotices = filesBelow(msiDir).find((p) => path.basename(p) === 'THIRD-PARTY-NOTICES.txt')
  if (!msiNotices || sha256(path.join(msiDir, msiNotices)) !== sha256(path.join(zipDir, 'THIRD-PARTY-NOTICES.txt'))) {
    fail('the MSI holds no THIRD-PARTY-NOTICES.txt like the zip\'s')
  }
  const [head, body = ''] = notices.split(/^Notices\n-+\n/m)
  const sections = new Map([...body.matchAll(/^\[(\d+)\] .*\n(?: {4,}.*\n)*\n([\s\S]*?)(?=^\[\d+\] |(?![\s\S]))/gm)]
    .map((m) => [m[1], m[2].trim()]))
  const entries = [...head.matchAll(/^(\S+) (\S+)\n {2}Package: +(\S+) (\S+) \((\S+)\)\n {2}License: +(.+)\n {2}Linked in: (.+)\n {2}Notices: +(.+)\n/gm)]
  const described = entries.map((m) => `${m[1]} ${m[2]} ${m[3]} ${m[6]}`)
  const expected = runtime.map((c) => `${c.name} ${c.version} ${PackageURL.fromString(c.purl).name} ${c.licenses[0].expression}`)
  same('THIRD-PARTY-NOTICES.txt', expected.sort(), described.sort())
  for (const m of entries) {
    const c = runtime.find((r) => r.name === m[1] && PackageURL.fromString(r.purl).name === m[3])
    if (c && [...containing.get(c['bom-ref'])].sort().join(', ') !== m[7].split(', ').sort().join(', ')) {
      fail(`THIRD-PARTY-NOTICES.txt: ${m[1]} of ${m[3]} is linked in ${m[7]}, the bill says otherwise`)
    }
    for (const ref of m[8].match(/\d+/g) || []) {
      if (!sections.get(ref)) fail(`THIRD-PARTY-NOTICES.txt: ${m[1]} of ${m[3]} refers to notice [${ref}], which is empty or missing`)
    }
    if (!/\d/.test(m[8])) fail(`THIRD-PARTY-NOTICES.txt: ${m[1]} of ${m[3]} has no notice`)
  }

  failures.forEach((f) => console.log(`FAIL: ${f}`))
  if (failures.length === 0) {
    console.log(`sbom: ok (${archives.length} archives, ${programs.length} programs, ${runtime.length} runtime components, ${sections.size} notices)`)
  }
  process.exitCode = failures.length ? 1 : 0
}
main().catch((e) => { console.log(`FAIL: ${e.stack}`); process.exitCode = 1 })
