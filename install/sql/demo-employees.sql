-- The demonstration's employee table, made by `zastore init --demo-employees`
-- in the console's schema. A real site points EMPTBL and PRIMARYKEY at its
-- own staff table and describes its columns in config/sqlSchemaMap.lst.
CREATE TABLE IF NOT EXISTS za_demo_employees (
  emp_id text PRIMARY KEY CHECK (emp_id <> ''),
  full_name text NOT NULL,
  family_name text NOT NULL DEFAULT '',
  given_name text NOT NULL DEFAULT '',
  email text,
  phone text,
  title text
);
CREATE UNIQUE INDEX IF NOT EXISTS za_demo_employees_key ON za_demo_employees (lower(emp_id));
CREATE INDEX IF NOT EXISTS za_demo_employees_name ON za_demo_employees (full_name, emp_id);
